#include "driver.h"

int main(int argc, char** argv) { return tarvex::converter_main(argc, argv); }
