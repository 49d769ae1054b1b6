// What the graphics content adds to start-up: the texture upload (GLU builds every mipmap
// level on the processor) and the object's display list, on the headless llvmpipe surface.
// Prints the median and the slowest of several rounds of each, in milliseconds.
#include "content/content.h"
#include "display/platform.h"

#include <GL/gl.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

constexpr int ROUNDS = 15;

int32_t IgnoreMessages(NativeWindow, uint32_t, uint32_t, uint32_t) {
    return 0;
}

template <typename Step> std::vector<double> Time(Step step) {
    std::vector<double> ms;
    for (int round = 0; round < ROUNDS; round++) {
        auto start = std::chrono::steady_clock::now();
        step();
        glFinish();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(ms.begin(), ms.end());
    return ms;
}

void Report(const char *name, const std::vector<double> &ms) {
    printf("%-28s median %7.2f ms   slowest %7.2f ms\n", name, ms[ms.size() / 2], ms.back());
}

} // namespace

int main() {
    PlatformInit();
    PlatformRegisterClass("bench", IgnoreMessages);
    NativeWindow window = PlatformCreateWindow("bench", "bench", 0, 0, 640, 480, WS_POPUP, 0);
    if (!PlatformCreateContext(window)) {
        fprintf(stderr, "content_bench: no OpenGL context on the headless surface\n");
        return 1;
    }
    std::vector<double> upload = Time([] {
        GLuint names[6] = {TexFont, TexRing, TexPlate, TexTitleA, TexTitleB, TexSprite};
        UploadTextures();
        glDeleteTextures(6, names); // keep the rounds alike: the previous round's set goes
    });
    std::vector<double> object = Time([] {
        GLuint previous = ObjectList;
        BuildObjectList();
        if (previous)
            glDeleteLists(previous, 1);
    });
    Report("UploadTextures", upload);
    Report("BuildObjectList", object);
    printf("%-28s median %7.2f ms\n", "added to start-up",
           upload[upload.size() / 2] + object[object.size() / 2]);
    PlatformShutdown();
    return 0;
}
