# Fails when a file of the test suite uses Qt's QTRY_, QVERIFY or QCOMPARE macros: every test is a
# GoogleTest test, where they cannot fail it (use waitFor from support/waitfor.h and EXPECT_).
# cmake -DTESTS=<tests folder> -P noqtmacros.cmake
cmake_minimum_required(VERSION 3.25)
file(GLOB_RECURSE files ${TESTS}/*.cpp ${TESTS}/*.h)
set(found "")
foreach(f ${files})
  file(STRINGS ${f} hits REGEX "(QTRY_[A-Z_]*|QVERIFY[A-Z0-9_]*|QCOMPARE[A-Z_]*)[ \t]*\\(")
  foreach(line ${hits})
    string(STRIP "${line}" line)
    string(APPEND found "\n${f}: ${line}")
  endforeach()
endforeach()
if(found)
  message(FATAL_ERROR "Qt test macros in GoogleTest tests (they cannot fail there):${found}")
endif()
