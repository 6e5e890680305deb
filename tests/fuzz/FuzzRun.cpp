#include "FuzzRun.h"

#include <algorithm>
#include <cstdlib>

namespace {
constexpr std::uint64_t kDefaultSeed = 20261208;
constexpr double kDefaultSeconds = 5.0;
// A run never exceeds this, whatever the environment says: the suite has a deadline per test.
constexpr double kMostSeconds = 100.0;

double BudgetSeconds()
{
    const char* text = std::getenv("ZR_FUZZ_SECONDS");
    const double seconds = text ? std::atof(text) : kDefaultSeconds;
    return seconds > 0 ? std::min(seconds, kMostSeconds) : kDefaultSeconds;
}

std::uint64_t SeedFromEnvironment()
{
    const char* text = std::getenv("ZR_FUZZ_SEED");
    return text ? std::strtoull(text, nullptr, 10) : kDefaultSeed;
}
} // namespace

FuzzRun::FuzzRun()
    : m_seed(SeedFromEnvironment()), m_random(m_seed),
      m_end(std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                   std::chrono::duration<double>(BudgetSeconds())))
{
}

bool FuzzRun::Next()
{
    if (std::chrono::steady_clock::now() >= m_end) return false;
    ++m_rounds;
    return true;
}

std::size_t FuzzRun::Below(std::size_t bound)
{
    return bound == 0 ? 0 : static_cast<std::size_t>(m_random() % bound);
}

std::string FuzzRun::Bytes(std::size_t length)
{
    std::string bytes(length, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(Below(256));
    return bytes;
}

std::string FuzzRun::Mutate(std::string input, const std::vector<std::string>& dictionary)
{
    const std::size_t edits = 1 + Below(4);
    for (std::size_t edit = 0; edit < edits; ++edit) {
        const std::size_t at = Below(input.size() + 1);
        switch (Below(5)) {
        case 0: // flip a byte
            if (!input.empty()) input[std::min(at, input.size() - 1)] ^= static_cast<char>(1 + Below(255));
            break;
        case 1: // cut a run
            input.erase(at, Below(16));
            break;
        case 2: // repeat a run
            input.insert(at, input.substr(at, Below(32)));
            break;
        case 3: // random bytes
            input.insert(at, Bytes(1 + Below(8)));
            break;
        default: // a token the parser cares about
            if (!dictionary.empty()) input.insert(at, dictionary[Below(dictionary.size())]);
            break;
        }
    }
    return input;
}
