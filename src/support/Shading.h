#pragma once

// Shading functions for gradient fills of paths. `info` holds twelve floats:
// the first colour's red, green, blue and alpha, the second colour's, then the
// differences second minus first. `in` is one input in [0, 1]; `out` receives
// red, green, blue and alpha.
using ShadingEvaluateFunction = void (*)(const float *info, const double *in, double *out);

struct ShadingCallbacks
{
    unsigned version = 0;
    ShadingEvaluateFunction evaluate = nullptr;
    void (*releaseInfo)(void *info) = nullptr;
};

// out = first + in * (second - first)
void linearShadedColor(const float *info, const double *in, double *out);
// The first colour at 0 and 1, the second at 0.5, linear in between.
void bilinearShadedColor(const float *info, const double *in, double *out);

extern const ShadingCallbacks linearShadingCallbacks;
extern const ShadingCallbacks bilinearShadingCallbacks;
