// Stack switching for the block barrier's fibers (x86-64, System V).
//
// fiber_switch(void** saveStackPointer, void* targetStackPointer): pushes the callee-saved
// registers, stores the stack pointer, loads the target's and pops its registers. It ends in
// `ret`, so every parked fiber resumes through the same call site and the return predictor
// stays right. The floating-point control state is shared by all fibers and left alone.
//
// Kept apart from C++ and without a shadow-stack property note: a `ret` onto another stack is
// not shadow-stack compatible, and a toolchain that enforces shadow stacks must see that.

    .text
    .globl  fiber_switch
    .type   fiber_switch, @function
fiber_switch:
    pushq   %rbp
    pushq   %rbx
    pushq   %r12
    pushq   %r13
    pushq   %r14
    pushq   %r15
    movq    %rsp, (%rdi)
    movq    %rsi, %rsp
    popq    %r15
    popq    %r14
    popq    %r13
    popq    %r12
    popq    %rbx
    popq    %rbp
    ret
    .size   fiber_switch, .-fiber_switch

// First code a new fiber runs: the primed stack pops r12 (argument) and r13 (entry function)
// and returns here. The entry function never returns.
    .globl  fiber_start
    .type   fiber_start, @function
fiber_start:
    movq    %r12, %rdi
    andq    $-16, %rsp
    callq   *%r13
    ud2
    .size   fiber_start, .-fiber_start

    .section .note.GNU-stack,"",@progbits
