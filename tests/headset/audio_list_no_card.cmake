# q731-audio-list without the headset's sound card, and with a card it cannot
# open: each case gets its own ALSA proc folder under WORK, and the tool must
# end with the case's status and say why on stderr.
#   cmake -DTOOL=<q731-audio-list> -DWORK=<scratch folder> -P audio_list_no_card.cmake

cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${WORK}")

# name | card folder written (empty: none) | its usbid | status | stderr pattern
set(cases
  "no cards|||1|no sound card with USB id 0c76:1630 under .*plugged in.*aplay -l"
  "another card|card0|046d:0a87|1|no sound card with USB id 0c76:1630"
  "headset card without a mixer|card99|0C76:1630|2|mixer of card 99 \\(hw:99.*cannot be opened")

set(failures 0)
foreach(row IN LISTS cases)
  string(REPLACE "|" ";" fields "${row}")
  list(GET fields 0 name)
  list(GET fields 1 card)
  list(GET fields 2 usbid)
  list(GET fields 3 status)
  list(GET fields 4 pattern)
  string(MAKE_C_IDENTIFIER "${name}" folder)
  set(proc "${WORK}/${folder}")
  file(MAKE_DIRECTORY "${proc}")
  if(card)
    file(WRITE "${proc}/${card}/usbid" "${usbid}\n")
    file(WRITE "${proc}/${card}/id" "Other\n")
  endif()
  execute_process(COMMAND "${TOOL}" --proc "${proc}" --names "${WORK}/no-names.json"
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result STREQUAL status OR NOT err MATCHES "${pattern}")
    message(SEND_ERROR "${name}: status ${result} (want ${status}), stderr:\n${err}")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()
file(REMOVE_RECURSE "${WORK}")
if(failures)
  message(FATAL_ERROR "${failures} case(s) failed")
endif()
