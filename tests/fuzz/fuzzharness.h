#pragma once

// What every fuzz target shares. A target is one file fuzz_<reader>.cpp that
// defines fuzzOneInput; the harness starts an offscreen application once,
// silences the log and hands each generated input to the target. A target
// reports a broken property through fuzzFailure, which aborts so that the
// fuzzer keeps the input.

#include <QByteArray>

// Runs one input through the reader. Crashes, sanitizer reports and
// fuzzFailure are findings; anything else the input does is fine.
void fuzzOneInput(const QByteArray& input);

// Prints what broke, with the two texts that should have been equal, and
// aborts.
[[noreturn]] void fuzzFailure(const char* what, const QByteArray& expected, const QByteArray& actual);
