// Double-precision vectors for the tests: expected values are worked out
// here, independently of the tracer's own float arithmetic.
#pragma once
#include <cmath>

#include "raytracer/geometry.h"

struct Vec {
    double x, y, z;
};

inline Vec toVec(const Vector3& v) {
    return {v.x, v.y, v.z};
}
inline Vector3 toVector3(Vec v) {
    return {float(v.x), float(v.y), float(v.z)};
}
inline Vec add(Vec a, Vec b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec sub(Vec a, Vec b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec scale(double s, Vec v) {
    return {s * v.x, s * v.y, s * v.z};
}
inline double dotd(Vec a, Vec b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vec crossd(Vec a, Vec b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double length(Vec v) {
    return std::sqrt(dotd(v, v));
}
inline Vec unit(Vec v) {
    return scale(1 / length(v), v);
}
