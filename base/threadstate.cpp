#include "base/threadstate.h"
#include <cpuid.h>
#include <malloc.h>

namespace {

bool captured;
bool hasSse;
unsigned short controlWord;
unsigned int mxcsr;

} // namespace

void CaptureFloatingPointState()
{
    unsigned int eax, ebx, ecx, edx;
    hasSse = __get_cpuid(1, &eax, &ebx, &ecx, &edx) && (edx & bit_SSE);
    asm volatile("fnstcw %0" : "=m"(controlWord));
    if (hasSse)
        asm volatile("stmxcsr %0" : "=m"(mxcsr));
    captured = true;
}

void RestoreFloatingPointState()
{
    // A plug-in may leave values on the x87 register stack, or the registers
    // in MMX use: either turns the next floating-point load into a NaN.
    // Starting the unit afresh clears them and any pending exception.
    unsigned short word;
    asm volatile("fnstcw %0" : "=m"(word));
    if (captured)
        word = controlWord;
    asm volatile("fninit");
    asm volatile("fldcw %0" : : "m"(word));
    if (captured && hasSse)
        asm volatile("ldmxcsr %0" : : "m"(mxcsr));
}

unsigned short FloatingPointControlWord()
{
    unsigned short word;
    asm volatile("fnstcw %0" : "=m"(word));
    return word;
}

void RearmStackGuard()
{
    _resetstkoflw();
}
