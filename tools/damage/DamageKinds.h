#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pw::damage {

// What one kind of damage needs to know about the intact file beyond its bytes.
struct DamageTarget {
    // Definition page of the user table whose definition the kind
    // "zero-one-definition" wipes; -1 when the file has none to offer.
    std::int32_t userTableDefinition = -1;
};

// One kind of damage a real file meets: a cut, junk, zeroed or overwritten
// pages, flipped bits. Kinds that draw random numbers differ per seed; the
// others are the same for every seed and are run once.
struct DamageKind {
    std::string name;
    std::string description;
    bool seeded = false;
};

const std::vector<DamageKind>& AllDamageKinds();
const DamageKind* FindDamageKind(const std::string& name);

// Applies the kind to a copy of the file's bytes, deterministically from the
// seed. Returns false for an unknown kind.
bool ApplyDamage(const std::string& kind, std::vector<std::uint8_t>& bytes, std::uint64_t seed,
                 const DamageTarget& target);

// The random stream of one damaged copy: the same seed, kind and file give
// the same bytes on every run.
std::uint64_t MixSeed(std::uint64_t seed, const std::string& kind, const std::string& file);

}  // namespace pw::damage
