// SPDX-License-Identifier: MIT
#pragma once

#include <benchmark/benchmark.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Prints the usual table and keeps each run's rate in bytes per second, in the order the runs
// ended, so that a benchmark can print the rates as shares of memcpy's after the table.
class RateRecorder : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const auto rate = run.counters.find("bytes_per_second");
      if (rate != run.counters.end() && run.run_type == Run::RT_Iteration) {
        rates.emplace_back(run.benchmark_name(), rate->second.value);
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Returns the rate of the run named `name`, or 0 when there was none.
  [[nodiscard]] double Rate(std::string_view name) const {
    for (const auto& [runName, rate] : rates) {
      if (runName == name) {
        return rate;
      }
    }
    return 0;
  }

  std::vector<std::pair<std::string, double>> rates;
};
