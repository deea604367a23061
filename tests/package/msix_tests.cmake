# The sparse package (package/msix): made by the msix target, read back by a
# reader of its own, and signed with a throwaway certificate. No Wine: Wine
# has no package deployment.

# Unsigned whatever the environment says: the signed package has a test of its own.
add_test(NAME package.msix.make COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target msix)
set_tests_properties(package.msix.make PROPERTIES
  FIXTURES_SETUP kestrun_msix
  ENVIRONMENT "KESTRUN_SIGN_CERT=;KESTRUN_SIGN_KEY=;KESTRUN_MSIX_PUBLISHER=")

add_test(NAME package.msix.contents
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/check_msix.py ${KESTRUN_MSIX_FILE}
          --version ${PROJECT_VERSION} --publisher "${KESTRUN_MSIX_UNSIGNED_PUBLISHER}"
          --class-id ${KESTRUN_COMMAND_CLSID})
set_tests_properties(package.msix.contents PROPERTIES FIXTURES_REQUIRED kestrun_msix)

add_test(NAME package.msix.signature
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/msix_signature_test.sh ${CMAKE_CURRENT_BINARY_DIR}/msix-signature
          ${PROJECT_VERSION} ${KESTRUN_COMMAND_CLSID} ${KESTRUN_MSIX_MANIFEST} ${KESTRUN_BUILD_MSIX})
