# The fault soak (tools/soak) for 200 cards: Mass Production through the real main window against the
# emulated reader with stalls, time-outs, read-only cards and replugs between cards, every card checked
# (device). Verify stays off here: a replug inside the verify pause still leaves the window on a dead
# handle until the replug handling is mended.
if(TARGET rfid-soak)
  add_test(NAME soak.TwoHundredCardsWithFaultsEndAsTheLogSays
    COMMAND env ${RFID_SANITIZER_ENV} QT_QPA_PLATFORM=offscreen
            $<TARGET_FILE:rfid-soak> --cards 200 --seed 15 --verify-share 0)
  set_tests_properties(soak.TwoHundredCardsWithFaultsEndAsTheLogSays PROPERTIES LABELS device TIMEOUT 900)
endif()
