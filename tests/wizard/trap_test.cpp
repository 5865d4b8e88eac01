// The trap regions catch every kind of exception that reaches them, leave
// the thread's exception chain as they found it, and leave a handler that
// code inside set up for itself to do its own work.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdexcept>
#include "base/state.h"
#include "base/trap.h"

namespace {

void* ChainHead()
{
    void* head;
    asm volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
}

volatile int zero = 0;

__attribute__((noinline)) void AccessViolation() { *reinterpret_cast<volatile int*>(16) = 1; }
volatile int quotient;
__attribute__((noinline)) void DivideByZero() { quotient = 7 / zero; }

void ExpectTrapped(DWORD code, TrapResult answer)
{
    EXPECT_FALSE(answer);
    EXPECT_EQ(code, answer.exceptionCode);
}

} // namespace

TEST(TrapRegion, EveryKindOfExceptionEndsInTheRegionWithTheChainRestored)
{
    void* before = ChainHead();
    EXPECT_TRUE(Trapped([] {}));
    // The hardware faults' codes are the processor's and the compiler's
    // (an emulator may differ): only that they are trapped is checked.
    EXPECT_FALSE(Trapped([] { AccessViolation(); }));
    EXPECT_FALSE(Trapped([] { DivideByZero(); }));
    EXPECT_FALSE(Trapped([] { asm volatile("ud2"); }));
    ExpectTrapped(0xE06D7363, Trapped([] { RaiseException(0xE06D7363, EXCEPTION_NONCONTINUABLE, 0, nullptr); }));
    ExpectTrapped(0x12345678, Trapped([] { RaiseException(0x12345678, 0, 0, nullptr); }));
    ExpectTrapped(0, Trapped([] { throw std::runtime_error("own throw"); }));
    EXPECT_EQ(before, ChainHead());
}

TEST(TrapRegion, TraceTextsStayAsTheyWereAtTheFault)
{
    EXPECT_FALSE(Trapped([] {
        TraceOperation("Some routine");
        TraceFailurePoint("its step");
        AccessViolation();
        TraceFailurePoint("never reached");
    }));
    EXPECT_STREQ("Some routine", FailureTrace.traceOperation);
    EXPECT_STREQ("its step", FailureTrace.traceFailurePoint);
}

TEST(TrapRegion, RegionsNestAndTheInnerOneTrapsFirst)
{
    int innerTraps = 0;
    bool outer = Trapped([&] {
        if (!Trapped([] { AccessViolation(); }))
            ++innerTraps;
        if (!Trapped([] { DivideByZero(); }))
            ++innerTraps;
    }).finished;
    EXPECT_TRUE(outer);
    EXPECT_EQ(2, innerTraps);
    EXPECT_FALSE(Trapped([] { Trapped([] {}); AccessViolation(); }));
}

TEST(TrapRegion, ManyTrapsLeaveTheChainIntact)
{
    void* before = ChainHead();
    int traps = 0;
    for (int i = 0; i < 10000; ++i)
        traps += Trapped([] { AccessViolation(); }) ? 0 : 1;
    EXPECT_EQ(10000, traps);
    EXPECT_EQ(before, ChainHead());
}

TEST(TrapRegion, CodeThatHandlesItsOwnExceptionIsLeftAlone)
{
    int handledInside = 0;
    EXPECT_TRUE(Trapped([&] {
        try {
            throw 42;
        } catch (int) {
            ++handledInside;
        }
    }));
    EXPECT_EQ(1, handledInside);
}
