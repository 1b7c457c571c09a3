# Every target of ours builds with warnings as errors; third-party headers come in as SYSTEM.
add_library(tavopix_warnings INTERFACE)
target_compile_options(tavopix_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Werror -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
  -Wcast-qual -Wformat=2 -Wimplicit-fallthrough)
