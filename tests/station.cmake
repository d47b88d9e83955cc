# The station layer: the card routine with its sources on the in-process bus, and the decisions of a
# hands-free run (unit).
rfid_add_gtest(NAME station_unit_tests TIER unit APPLICATION core
  SOURCES unit/HandsFreeRunTest.cpp unit/CardRoutineTest.cpp unit/StationNamingTest.cpp
  LIBS rfid_station rfid_emureader rfid_testdatabase)
