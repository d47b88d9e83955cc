# Reader access: the card codec and commands over the in-process bus (unit), and the real libusb and
# the real rfidctl against the umockdev-emulated reader (device).
rfid_add_gtest(NAME CardCodecTest TIER unit
  SOURCES unit/CardFrameTest.cpp unit/CardIdentifierTest.cpp unit/NumberFormsTest.cpp
  LIBS rfid_reader rfid_emureader)
rfid_add_gtest(NAME RFIDDeviceTest TIER unit
  SOURCES unit/RFIDDeviceTest.cpp unit/EmulatedReaderTest.cpp
  LIBS rfid_reader rfid_emureader)
rfid_add_gtest(NAME RFIDDeviceDeviceTest TIER device
  SOURCES device/RFIDDeviceDeviceTest.cpp
  LIBS rfid_reader rfid_emureader rfid_emureader_main)
if(TARGET rfidctl)
  rfid_add_gtest(NAME RfidctlCommandsTest TIER unit
    SOURCES unit/RfidctlCommandsTest.cpp
    LIBS rfid_rfidctl rfid_emureader)
  rfid_add_gtest(NAME RfidctlTest TIER device
    SOURCES device/RfidctlTest.cpp
    LIBS rfid_reader rfid_emureader rfid_emureader_main)
  add_dependencies(RfidctlTest rfidctl)
  target_compile_definitions(RfidctlTest PRIVATE RFIDCTL_PATH="$<TARGET_FILE:rfidctl>")
endif()
