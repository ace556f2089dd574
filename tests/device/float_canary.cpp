// Uses double arithmetic on purpose: the floating-point check of the recorder
// objects must report this file.
double float_canary_scale(double x, int n) { return x * n + 0.5; }
