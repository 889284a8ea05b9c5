#pragma once

namespace sonarel::whisper {

// The recognizer's threads meet after every step of a decoding, and by default each one spins
// while it waits for the others. Beside any busy program a waiting thread then burns the core its
// partner needs: a partial decode that takes 0.2 s on two threads took 3.3 s with one other
// program running. Waiting threads that sleep cost about as little when the cores are free and
// keep two threads as fast as one when they are not. The thread library reads how to wait once,
// as the program loads, so this restarts the program (`argv` as it was given) with sleeping waits
// unless its environment already says how to wait; when the restart fails, the program goes on
// as it is. Call it first thing in `main`.
void restartWithSleepingWaits(char* argv[]);

}  // namespace sonarel::whisper
