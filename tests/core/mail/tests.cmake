# Mail notification against a real SMTP server on loopback: Debian's
# python3-aiosmtpd, started by each test on a free port.
# The system's Python first: a Python of its own on PATH (pyenv, venv) does
# not see the Debian package.
set(MAROKA_SMTP_PYTHON "")
find_program(MAROKA_PATH_PYTHON python3)
foreach(python /usr/bin/python3 ${MAROKA_PATH_PYTHON})
    if(EXISTS ${python} AND NOT MAROKA_SMTP_PYTHON)
        execute_process(COMMAND ${python} -c "import aiosmtpd" RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
        if(rc EQUAL 0)
            set(MAROKA_SMTP_PYTHON ${python})
        endif()
    endif()
endforeach()
if(NOT MAROKA_SMTP_PYTHON)
    # A skipped test passes; where every test must run, a missing server is an error.
    if(MAROKA_REQUIRE_TEST_TOOLS)
        message(FATAL_ERROR "No Python with aiosmtpd (python3-aiosmtpd): the SMTP server tests cannot run")
    endif()
    message(WARNING "No Python with aiosmtpd (python3-aiosmtpd): the SMTP server tests will be skipped")
endif()
set(MAROKA_SMTP_DEFINITIONS
    MAROKA_SMTP_PYTHON="${MAROKA_SMTP_PYTHON}"
    MAROKA_SMTP_SERVER_SCRIPT="${CMAKE_CURRENT_LIST_DIR}/smtp_test_server.py"
)

maroka_add_test(NAME mail_tests SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/MailTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SmtpTestServer.cpp
)
target_compile_definitions(mail_tests PRIVATE ${MAROKA_SMTP_DEFINITIONS})
