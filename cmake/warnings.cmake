add_library(gifqvr_warnings INTERFACE)
target_compile_options(gifqvr_warnings INTERFACE
  -Wall -Wextra -Werror -Wshadow -Wcast-align -Wformat=2)
