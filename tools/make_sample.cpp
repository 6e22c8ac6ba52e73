// Writes the bundled sample databases: Shop.mdb, intact, and Shop-damaged.mdb,
// the same file without its first 1000 bytes and without its catalog pages.

#include <exception>
#include <filesystem>
#include <iostream>

#include "tests/support/FileTools.h"
#include "tests/support/ShopSample.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_sample OUTDIR\n";
        return 2;
    }
    try {
        const std::filesystem::path dir = argv[1];
        std::filesystem::create_directories(dir);
        const pw::testing::ShopSample sample = pw::testing::BuildShopSample();
        pw::testing::WriteFile(dir / "Shop.mdb", sample.intact);
        pw::testing::WriteFile(dir / "Shop-damaged.mdb", sample.damaged);
    } catch (const std::exception& e) {
        std::cerr << "make_sample: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
