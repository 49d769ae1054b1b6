#include "runtime/numbers.h"

#include <cmath>

int32_t TruncToInt(float value) {
    double wide = value;
    // Written so that NaN fails the test too.
    if (wide > -2147483649.0 && wide < 2147483648.0)
        return int32_t(wide);
    return INT32_MIN;
}

float PowF(float a, float b) {
    return float(pow(double(a), double(b)));
}
