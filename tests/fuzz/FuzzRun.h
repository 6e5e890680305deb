// FuzzRun: a bounded random run. Mutates seed inputs byte-wise and with a dictionary of tokens that
// parsers of this project treat specially, for a time budget, from a seed a failing run prints.
#pragma once

#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

class FuzzRun {
public:
    FuzzRun();

    // True while the budget lasts; counts the rounds.
    bool Next();
    std::size_t Rounds() const { return m_rounds; }
    std::uint64_t Seed() const { return m_seed; }

    std::size_t Below(std::size_t bound);
    bool OneIn(std::size_t chance) { return Below(chance) == 0; }
    // A copy of input with one to four random edits: byte flips, cuts, repeats and dictionary tokens.
    std::string Mutate(std::string input, const std::vector<std::string>& dictionary);
    // Random bytes of the given length, any value.
    std::string Bytes(std::size_t length);

private:
    std::uint64_t m_seed;
    std::mt19937_64 m_random;
    std::chrono::steady_clock::time_point m_end;
    std::size_t m_rounds = 0;
};
