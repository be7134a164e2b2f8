# KESTREL_SANITIZE takes a list of sanitizers: "address;undefined" or "thread".
set(KESTREL_SANITIZE "" CACHE STRING "Sanitizers to build with (address;undefined or thread)")

if(KESTREL_SANITIZE)
  list(JOIN KESTREL_SANITIZE "," _kestrel_sanitizers)
  add_compile_options(-fsanitize=${_kestrel_sanitizers} -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${_kestrel_sanitizers})
  # Boost's headers (Asio, shared pointers) use fences, which the race
  # checker does not model; GCC says so at every file that includes them.
  if("thread" IN_LIST KESTREL_SANITIZE AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options(-Wno-tsan)
  endif()
  if("undefined" IN_LIST KESTREL_SANITIZE)
    add_compile_options(-fno-sanitize-recover=undefined)
  endif()
endif()
