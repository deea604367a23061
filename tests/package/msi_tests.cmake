# The Windows Installer packages (package/msi): made by the msi target, their
# tables checked statically, and in the 64-bit build the test package
# installed, upgraded and removed under Wine and its registry compared with
# what self-registration writes.

add_test(NAME package.msi.make COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target msi)
set_tests_properties(package.msi.make PROPERTIES FIXTURES_SETUP kestrun_msi)

add_test(NAME package.msi.contents
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/check_msi.py ${KESTRUN_MSI_FILES})
set_tests_properties(package.msi.contents PROPERTIES FIXTURES_REQUIRED kestrun_msi)

if(KESTRUN_ARCH STREQUAL x86)
  add_test(NAME package.msi.signature
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/msi_signature_test.sh ${CMAKE_CURRENT_BINARY_DIR}/signature
            ${KESTRUN_BUILD_MSI} --platform x86 --version ${PROJECT_VERSION})
endif()

if(NOT KESTRUN_BUILD_TESTS)
  return()
endif()

list(GET KESTRUN_MSI_FILES 0 msi)
list(GET KESTRUN_MSI_FILES 1 newer_msi)
add_test(NAME package.msi.install
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/msi_install_test.sh ${msi} ${newer_msi} ${CMAKE_BINARY_DIR}/wine-run
          $<TARGET_FILE:shell_open> $<TARGET_FILE:explorer_host> $<TARGET_FILE:lorvane_standin>
          $<TARGET_FILE:command_recorder>)
set_tests_properties(package.msi.install PROPERTIES
  FIXTURES_REQUIRED "kestrun_msi;wine_session"
  RESOURCE_LOCK wine_prefix
  TIMEOUT 300)

add_test(NAME package.msi.registration
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/msi_registration_test.sh ${msi} ${CMAKE_BINARY_DIR}/wine-run
          $<TARGET_FILE:lorvane_standin>)
set_tests_properties(package.msi.registration PROPERTIES
  FIXTURES_REQUIRED "kestrun_msi;wine_session"
  RESOURCE_LOCK wine_prefix
  TIMEOUT 300)
