# Settings shared by every flavour of the build.
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  add_compile_options(-Wall -Wextra)
endif()

# The sanitizer build (scripts/test, scripts/fuzz): everything native with
# AddressSanitizer and UndefinedBehaviorSanitizer, stopping at the first report.
option(QUILLON_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(QUILLON_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -O1 -g)
  add_link_options(-fsanitize=address,undefined)
endif()
# With the libFuzzer targets (clang only) the code they reach carries the
# coverage instrumentation that guides the fuzzer.
option(QUILLON_FUZZ "Build the libFuzzer targets (clang only)" OFF)
if(QUILLON_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Flags for the two programs that travel inside every SFX file: small, no
# exceptions or RTTI, unused code and data dropped, symbols stripped, and no
# link time in the image, so that the same sources give the same bytes.
function(quillon_small_program target)
  target_compile_options(${target} PRIVATE
    -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
    -fno-unwind-tables -ffunction-sections -fdata-sections -fno-ident
    -fno-stack-protector -flto)
  target_link_options(${target} PRIVATE
    -Os -flto -Wl,--gc-sections -s -Wl,--no-insert-timestamp -Wl,-Map=$<TARGET_FILE:${target}>.map
    -Wl,-T,${PROJECT_SOURCE_DIR}/cmake/small_program.ld)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/small_program.ld)
endfunction()

# Fails the build when a program grows past its budget.
function(quillon_size_budget target max_bytes)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DFILE=$<TARGET_FILE:${target}> -DMAX=${max_bytes}
            -P ${PROJECT_SOURCE_DIR}/cmake/CheckSize.cmake
    VERBATIM)
endfunction()

# The two programs that travel in every SFX file also go without the C runtime:
# `entry` is their process entry point. They carry no base relocations, so no
# .reloc section follows .rsrc: the resource editor grows .rsrc in place and
# the container is appended right behind it. Their large buffers are static
# and zero: mingw's gcc gives such data file space in split .data$ sections,
# so data sections stay whole and the buffers land in .bss.
function(quillon_no_runtime target entry)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(entry _${entry})  # i686 C symbols carry a leading underscore
  endif()
  target_compile_options(${target} PRIVATE -fno-data-sections)
  target_link_options(${target} PRIVATE
    -nostdlib -Wl,-e,${entry} -Wl,--disable-reloc-section -Wl,--disable-dynamicbase)
endfunction()
