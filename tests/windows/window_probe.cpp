// Prints "<client width>x<client height>" of the first top-level window of the class named
// on the command line and exits 0; exits 1 when there is none.
#include <windows.h>

#include <cstdio>

int main(int argc, char **argv) {
    if (argc < 2)
        return 2;
    HWND window = FindWindowA(argv[1], nullptr);
    if (!window)
        return 1;
    RECT client;
    GetClientRect(window, &client);
    printf("%ldx%ld\n", long(client.right - client.left), long(client.bottom - client.top));
    return 0;
}
