# The installed tree and the Debian package: validators, a staged install, the package's metadata.
add_test(NAME packaging.DesktopEntryIsValid
         COMMAND desktop-file-validate ${PROJECT_SOURCE_DIR}/packaging/com.tagwell.rfid.desktop)
add_test(NAME packaging.MetainfoIsValid
         COMMAND appstreamcli validate --no-net ${RFID_METAINFO})
add_test(NAME packaging.StagedInstallHoldsEveryFile
         COMMAND bash ${PROJECT_SOURCE_DIR}/tests/packaging/check-staged-install.sh ${PROJECT_BINARY_DIR})
add_test(NAME packaging.DebianPackageDependsOnItsLibraries
         COMMAND bash ${PROJECT_SOURCE_DIR}/tests/packaging/check-deb.sh ${PROJECT_BINARY_DIR})
set_tests_properties(packaging.StagedInstallHoldsEveryFile packaging.DebianPackageDependsOnItsLibraries
                     PROPERTIES LABELS packaging RESOURCE_LOCK packaging-install TIMEOUT 600)
add_test(NAME packaging.RfidctlLoadsNoWindowLibrary
         COMMAND bash ${PROJECT_SOURCE_DIR}/tests/packaging/check-no-window-libraries.sh $<TARGET_FILE:rfidctl>)
set_tests_properties(packaging.RfidctlLoadsNoWindowLibrary PROPERTIES LABELS "packaging;unit")
