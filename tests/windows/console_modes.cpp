// For the Windows end-to-end tests: appends the console's input and output modes and its
// output code page to a file, so that a run before and after climon can be compared.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  DWORD in = 0, out = 0;
  GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &in);
  GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &out);
  std::FILE* f = std::fopen(argv[1], "a");
  if (f == nullptr) return 1;
  std::fprintf(f, "in=%lx out=%lx cp=%u\n", in, out, GetConsoleOutputCP());
  std::fclose(f);
  return 0;
}
