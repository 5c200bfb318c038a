#include <cstdio>
#include <string_view>

int main(int argc, char** argv) {
  if (argc > 1 && std::string_view(argv[1]) == "--version") {
    std::puts("Korvex 3.02");
    return 0;
  }
  return 0;
}
