#include "runtime/numbers.h"

#include <cmath>

float PowF(float a, float b) {
    return float(pow(double(a), double(b)));
}
