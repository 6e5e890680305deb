#include "BenchReport.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>

namespace BenchReport {

namespace {

constexpr double kGrowthBound = 1.1;
// Growth is bounded where the work is one walk or one stat per file; locks and adds are told only.
bool GrowthIsBounded(const std::string& name)
{
    return name == "status" || name == "presave";
}

std::string Reference(const CaseResult& result)
{
    if (result.reference < 0) return "";
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", result.reference);
    return text;
}

} // namespace

double GrowthExponent(int smallerSize, double smallerTime, int largerSize, double largerTime)
{
    return std::log(largerTime / smallerTime) / std::log(static_cast<double>(largerSize) / smallerSize);
}

void Print(std::FILE* out, const std::vector<CaseResult>& results, int runs)
{
    std::fprintf(out, "| case | n | plug-in (median of %d, s) | floor (s) | ratio | svn add, names (s) |\n", runs);
    std::fprintf(out, "|---|---|---|---|---|---|\n");
    for (const CaseResult& result : results)
        std::fprintf(out, "| %s | %d | %.4f | %.4f | %.2f | %s |\n", result.name.c_str(), result.n, result.plugin,
                     result.floor, result.plugin / result.floor, Reference(result).c_str());

    // The two largest sizes of each case, in the order the cases ran.
    std::vector<std::string> order;
    std::map<std::string, std::vector<const CaseResult*>> bySize;
    for (const CaseResult& result : results) {
        if (bySize.find(result.name) == bySize.end()) order.push_back(result.name);
        bySize[result.name].push_back(&result);
    }
    bool growthHeader = false;
    for (const std::string& name : order) {
        std::vector<const CaseResult*>& sized = bySize[name];
        if (sized.size() < 2) continue;
        std::sort(sized.begin(), sized.end(), [](const CaseResult* a, const CaseResult* b) { return a->n < b->n; });
        const CaseResult& smaller = *sized[sized.size() - 2];
        const CaseResult& larger = *sized.back();
        if (!growthHeader) {
            std::fprintf(out, "\n| case | sizes | plug-in exponent | floor exponent |\n|---|---|---|---|\n");
            growthHeader = true;
        }
        const double plugin = GrowthExponent(smaller.n, smaller.plugin, larger.n, larger.plugin);
        const double floor = GrowthExponent(smaller.n, smaller.floor, larger.n, larger.floor);
        std::fprintf(out, "| %s | %d to %d | %.2f | %.2f |%s\n", name.c_str(), smaller.n, larger.n, plugin, floor,
                     GrowthIsBounded(name) && plugin > kGrowthBound ? " MISSED (bound 1.1)" : "");
    }

    std::fprintf(out, "\n");
    for (const CaseResult& result : results) {
        const double ratio = result.plugin / result.floor;
        std::fprintf(out, "%s at %d: ratio %.2f, bound %.1f: %s\n", result.name.c_str(), result.n, ratio, result.bound,
                     ratio <= result.bound ? "within" : "MISSED");
    }
}

} // namespace BenchReport
