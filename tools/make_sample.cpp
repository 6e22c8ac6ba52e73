#include <filesystem>
#include <fstream>
int main(int argc, char** argv) {
    if (argc < 2) return 2;
    std::filesystem::create_directories(argv[1]);
    std::ofstream(std::filesystem::path(argv[1]) / "Shop.mdb");
    std::ofstream(std::filesystem::path(argv[1]) / "Shop-damaged.mdb");
    return 0;
}
