# The fault soak (tools/soak) for 200 cards: Mass Production through the real main window against the
# emulated reader with stalls, time-outs, read-only cards and replugs, every card checked (device).
if(TARGET rfid-soak)
  add_test(NAME soak.TwoHundredCardsWithFaultsEndAsTheLogSays
    COMMAND env ${RFID_SANITIZER_ENV} QT_QPA_PLATFORM=offscreen $<TARGET_FILE:rfid-soak> --cards 200 --seed 15)
  set_tests_properties(soak.TwoHundredCardsWithFaultsEndAsTheLogSays PROPERTIES LABELS device TIMEOUT 900)
endif()
