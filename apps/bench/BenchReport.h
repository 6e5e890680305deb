// BenchReport: the benchmark's results as a markdown table, the growth of each case between its two
// largest sizes, and each case against its bound.
#pragma once

#include "BenchCases.h"

#include <cstdio>
#include <vector>

namespace BenchReport {

// The exponent k of time ~ n^k between two sizes.
double GrowthExponent(int smallerSize, double smallerTime, int largerSize, double largerTime);

void Print(std::FILE* out, const std::vector<CaseResult>& results, int runs);

} // namespace BenchReport
