// The program: the start-up over the real subsystems.
#include <string>
#include <vector>

#include "program/program.h"

int main(int argc, char** argv) {
  App::ProgramSystems systems;
  std::vector<std::string> args(argv + 1, argv + argc);
  return App::RunMesrin(systems, args);
}
