# Reader access: the card codec and commands over the in-process bus (unit), and the real libusb
# against the umockdev-emulated reader (device).
rfid_add_gtest(NAME reader_unit_tests TIER unit
  SOURCES unit/CardFrameTest.cpp unit/CardIdentifierTest.cpp unit/NumberFormsTest.cpp
          unit/RFIDDeviceTest.cpp unit/EmulatedReaderTest.cpp
  LIBS rfid_reader rfid_emureader)
if(RFID_EMULATED_READER)
  rfid_add_gtest(NAME reader_device_tests TIER device APPLICATION none
    SOURCES device/RFIDDeviceDeviceTest.cpp
    LIBS rfid_reader)
endif()
