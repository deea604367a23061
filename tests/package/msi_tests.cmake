# The Windows Installer packages (package/msi): made by the msi target, their
# tables checked statically, and in the 64-bit build the test package
# installed, upgraded and removed under Wine and its registry compared with
# what self-registration writes.

add_test(NAME package.msi.make COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target msi)
set_tests_properties(package.msi.make PROPERTIES FIXTURES_SETUP kestrun_msi)

add_test(NAME package.msi.contents
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/check_msi.py ${KESTRUN_MSI_FILES})
set_tests_properties(package.msi.contents PROPERTIES FIXTURES_REQUIRED kestrun_msi)
