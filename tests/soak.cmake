# The fault soak (tools/soak): Mass Production through the real main window against the emulated reader
# with stalls, time-outs, read-only cards, replugs between cards and inside the verify pause, finished
# cards laid again, every card held against the log and the production journal (device). One run presses
# Write (and now and then twice on a good card), the other lets hands-free runs see the cards. They wait
# on the window most of the time, so tools/test.sh runs them (label soak) beside the sanitizer build.
if(TARGET rfid-soak)
  add_test(NAME soak.TwoHundredCardsAgreeWithTheLogAndTheJournal
    COMMAND env ${RFID_SANITIZER_ENV} QT_QPA_PLATFORM=offscreen
            $<TARGET_FILE:rfid-soak> --cards 200 --seed 15)
  add_test(NAME soak.TwoHundredHandsFreeCardsWithFinishedCardsLaidAgain
    COMMAND env ${RFID_SANITIZER_ENV} QT_QPA_PLATFORM=offscreen
            $<TARGET_FILE:rfid-soak> --cards 200 --seed 16 --hands-free --laid-again 10)
  set_tests_properties(soak.TwoHundredCardsAgreeWithTheLogAndTheJournal
                       soak.TwoHundredHandsFreeCardsWithFinishedCardsLaidAgain
                       PROPERTIES LABELS "device;soak" TIMEOUT 900)
endif()
