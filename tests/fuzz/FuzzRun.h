// FuzzRun: a bounded random run. Mutates seed inputs byte-wise and with a dictionary of tokens that
// parsers of this project treat specially, for a time budget, from a seed a failing run prints.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

class FuzzRun {
public:
    // ZR_FUZZ_SECONDS and ZR_FUZZ_SEED override the defaults; a run never exceeds 100 s, whatever the
    // environment says: the suite has a deadline per test.
    FuzzRun()
    {
        const char* seed = std::getenv("ZR_FUZZ_SEED");
        m_seed = seed ? std::strtoull(seed, nullptr, 10) : 20261208;
        m_random.seed(m_seed);
        const char* budget = std::getenv("ZR_FUZZ_SECONDS");
        const double seconds = budget && std::atof(budget) > 0 ? std::min(std::atof(budget), 100.0) : 5.0;
        m_end = std::chrono::steady_clock::now() +
                std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
    }

    // True while the budget lasts; counts the rounds.
    bool Next()
    {
        if (std::chrono::steady_clock::now() >= m_end) return false;
        ++m_rounds;
        return true;
    }
    std::size_t Rounds() const { return m_rounds; }
    std::uint64_t Seed() const { return m_seed; }

    std::size_t Below(std::size_t bound) { return bound == 0 ? 0 : static_cast<std::size_t>(m_random() % bound); }
    bool OneIn(std::size_t chance) { return Below(chance) == 0; }

    // A copy of input with one to four random edits: byte flips, cuts, repeats, random bytes and
    // dictionary tokens.
    std::string Mutate(std::string input, const std::vector<std::string>& dictionary)
    {
        const std::size_t edits = 1 + Below(4);
        for (std::size_t edit = 0; edit < edits; ++edit) {
            const std::size_t at = Below(input.size() + 1);
            switch (Below(5)) {
            case 0:
                if (!input.empty()) input[std::min(at, input.size() - 1)] ^= static_cast<char>(1 + Below(255));
                break;
            case 1:
                input.erase(at, Below(16));
                break;
            case 2:
                input.insert(at, input.substr(at, Below(32)));
                break;
            case 3:
                for (std::size_t i = 1 + Below(8); i > 0; --i)
                    input.insert(at, 1, static_cast<char>(Below(256)));
                break;
            default:
                if (!dictionary.empty()) input.insert(at, dictionary[Below(dictionary.size())]);
                break;
            }
        }
        return input;
    }

private:
    std::uint64_t m_seed;
    std::mt19937_64 m_random;
    std::chrono::steady_clock::time_point m_end;
    std::size_t m_rounds = 0;
};
