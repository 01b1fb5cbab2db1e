# Installs Arbor from a build tree into a fresh prefix, then configures, builds and runs
# the outside consumer program against that installation only.
# Usage: cmake -DBUILD_DIR=<tsm build> -DCONSUMER_DIR=<consumer source> -DWORK_DIR=<scratch>
#              -DGENERATOR=<generator> -DCXX_COMPILER=<c++> [-DMAKE_PROGRAM=<ninja>]
#              [-DBUILD_TYPE=<type>] [-DCXX_FLAGS=<flags>] -P RunConsumer.cmake
foreach(var BUILD_DIR CONSUMER_DIR WORK_DIR GENERATOR CXX_COMPILER)
    if(NOT ${var})
        message(FATAL_ERROR "RunConsumer.cmake needs -D${var}=...")
    endif()
endforeach()

function(run_step what)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output
        ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${what} failed (${result}):\n${output}")
    endif()
    message(STATUS "${what}: done")
    set(step_output "${output}" PARENT_SCOPE)
endfunction()

set(prefix ${WORK_DIR}/prefix)
set(consumer_build ${WORK_DIR}/build)
file(REMOVE_RECURSE ${WORK_DIR})

run_step("Installing the Arbor component into ${prefix}"
    ${CMAKE_COMMAND} --install ${BUILD_DIR} --component Arbor --prefix ${prefix})

# The installed tree holds the library, the package and every header the API needs,
# including the shared text interface, and nothing of other components.
file(GLOB_RECURSE installed RELATIVE ${prefix} ${prefix}/*)
foreach(required include/Arbor/kinematic/ITargetFactory.h include/Arbor/params/IString.h
        lib/cmake/Arbor/ArborConfig.cmake lib/cmake/Arbor/ArborConfigVersion.cmake)
    if(NOT EXISTS ${prefix}/${required})
        message(FATAL_ERROR "Not installed: ${required}\nInstalled:\n${installed}")
    endif()
endforeach()
foreach(file IN LISTS installed)
    if(NOT file MATCHES "^(include/Arbor/|lib/cmake/Arbor/|lib/libArbor\\.so)")
        message(FATAL_ERROR "The Arbor component installed a foreign file: ${file}")
    endif()
endforeach()

set(configure_args -S ${CONSUMER_DIR} -B ${consumer_build} -G ${GENERATOR}
    -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DCMAKE_PREFIX_PATH=${prefix}
    "-DCMAKE_CXX_FLAGS=-Wall -Wextra -Werror ${CXX_FLAGS}")
if(MAKE_PROGRAM)
    list(APPEND configure_args -DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM})
endif()
if(BUILD_TYPE)
    list(APPEND configure_args -DCMAKE_BUILD_TYPE=${BUILD_TYPE})
endif()
run_step("Configuring the consumer" ${CMAKE_COMMAND} ${configure_args})
if(NOT step_output MATCHES "Using Arbor [0-9.]+ from ${prefix}/")
    message(FATAL_ERROR "The consumer did not find the Arbor just installed:\n${step_output}")
endif()
run_step("Building the consumer" ${CMAKE_COMMAND} --build ${consumer_build})
run_step("Running the consumer" ${consumer_build}/arbor_consumer)
message(STATUS "${step_output}")
