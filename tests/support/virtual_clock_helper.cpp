// A stand-in for quorvane-helper in tests and benchmarks: the same serving loop and protocol,
// but its operations move a virtual clock kept in a shared file, never the real one.
// Usage: virtual_clock_helper CLOCK_FILE DESCRIPTOR (as the helper client starts it).

#include <csignal>
#include <cstdlib>
#include <exception>
#include <string>

#include "helper/linux/helper_server.h"
#include "support/shared_virtual_clock.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  signal(SIGPIPE, SIG_IGN);
  try {
    quorvane::testing::SharedVirtualClock clock(argv[1], false);
    quorvane::testing::VirtualClockOperations operations(clock.state());
    const int connection = std::stoi(argv[2]);
    return quorvane::ServeHelperConnection(connection, operations) == 0 ? EXIT_SUCCESS
                                                                        : EXIT_FAILURE;
  } catch (const std::exception&) {
    return EXIT_FAILURE;
  }
}
