// SPDX-License-Identifier: Apache-2.0
// The load run's report: a table for people, JSON for scripts, and the
// progress line shown on a terminal.
#pragma once

#include <string>
#include <vector>

#include "loadgen/load_run.h"

namespace loadgen {

struct Percentiles {
    double p50 = 0, p90 = 0, p99 = 0, max = 0;
};
Percentiles percentiles(std::vector<double> values);  // nearest rank; zeros when empty

std::string loadTable(const LoadPlan& plan, const LoadResult& result);
std::string loadJson(const LoadPlan& plan, const LoadResult& result);
std::string progressLine(const LoadResult& result);

}  // namespace loadgen
