# The device layer: the reader's commands on the in-process bus, the emulated reader itself and the rules
# of the reader's presence (unit); the real libusb against the reader on an emulated USB bus (device).
rfid_add_gtest(NAME device_unit_tests TIER unit
  SOURCES unit/RFIDDeviceTest.cpp unit/EmulatedReaderTest.cpp unit/ReaderPresenceTest.cpp
  LIBS rfid_device rfid_emureader)
if(RFID_EMULATED_READER)
  rfid_add_gtest(NAME device_device_tests TIER device APPLICATION none
    SOURCES device/RFIDDeviceDeviceTest.cpp
    LIBS rfid_device)
endif()
