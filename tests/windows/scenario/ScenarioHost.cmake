# The scenario host's sources and its tests, shared by the Windows build (tests/windows) and the native one
# (tests/differential).
set(zorva_scenario_dir ${CMAKE_CURRENT_LIST_DIR})
set(zorva_scenario_host_sources
  ${zorva_scenario_dir}/scenario_host.c
  ${zorva_scenario_dir}/scenario_calls.c
  ${zorva_scenario_dir}/audio_expectations.c
  ${zorva_scenario_dir}/capture_features.c)
set(zorva_scenario_scripts_dir ${zorva_scenario_dir}/../scripts)

# zorva_add_scenario_tests(prefix host path-prefix capture-dir out-list [RECORDER command...]): one test per script,
# run in a folder that holds the sounds the scripts open; each test's capture file is kept as the test property
# ZORVA_CAPTURE. path-prefix turns this machine's absolute paths into the host's ("Z:" under Wine). A RECORDER runs
# the host as `command CAPTURE host arguments`, recording the capture while it runs.
function(zorva_add_scenario_tests prefix host path_prefix capture_dir out_list)
  cmake_parse_arguments(PARSE_ARGV 5 option "" "" RECORDER)
  set(data_dir ${CMAKE_CURRENT_BINARY_DIR}/scenario-data)
  file(MAKE_DIRECTORY ${data_dir} ${capture_dir})
  file(GLOB fixtures ${PROJECT_SOURCE_DIR}/tests/fixtures/*.wav)
  foreach(sound ${PROJECT_SOURCE_DIR}/samples/tone.wav ${PROJECT_SOURCE_DIR}/tests/fixtures/mp3_cbr128_44k_stereo_tagged.mp3
                ${PROJECT_SOURCE_DIR}/tests/fixtures/sine441_tagged.mp3 ${fixtures})
    configure_file(${sound} ${data_dir} COPYONLY)
  endforeach()
  include(${PROJECT_SOURCE_DIR}/tests/corpus/Corpus.cmake)
  file(GLOB corpus ${ZORVA_CORPUS_DIR}/*.mp? ${ZORVA_CORPUS_DIR}/*.wav)
  foreach(sound ${corpus})
    configure_file(${sound} ${data_dir} COPYONLY)
  endforeach()
  # A playable file with the name of an unusable resource, which must not be tried in its place.
  configure_file(${PROJECT_SOURCE_DIR}/samples/tone.wav ${data_dir}/UNUSABLE COPYONLY)
  find_program(ZORVA_SOX sox REQUIRED)
  # 16,777,625 bytes of 8-bit mono silence at 44.1 kHz, a length that single precision rounds down a byte (given in
  # seconds: sox miscounts a number of samples this large).
  if(NOT EXISTS ${data_dir}/long-silence.wav)
    execute_process(COMMAND ${ZORVA_SOX} -D -n -r 44100 -c 1 -b 8 -e unsigned ${data_dir}/long-silence.wav
                            trim 0 380.44501134 COMMAND_ERROR_IS_FATAL ANY)
  endif()
  # The reference beep: 40 ms of 1 kHz (sox's dither is random, so it is not dithered).
  if(NOT EXISTS ${data_dir}/beep.wav)
    execute_process(COMMAND ${ZORVA_SOX} -D -n -r 44100 -c 1 -b 16 ${data_dir}/beep.wav synth 0.04 sine 1000 gain -6
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()
  # A second of MP3 frames (the tagged fixture without its closing ID3v1 tag), then 40 MB of zeros with no sync.
  if(NOT EXISTS ${data_dir}/damaged-tail.mp3)
    execute_process(COMMAND head -c -128 ${PROJECT_SOURCE_DIR}/tests/fixtures/mp3_cbr128_44k_stereo_tagged.mp3
                    OUTPUT_FILE ${data_dir}/damaged-tail.mp3 COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND truncate -s +40M ${data_dir}/damaged-tail.mp3 COMMAND_ERROR_IS_FATAL ANY)
  endif()
  file(GLOB scripts CONFIGURE_DEPENDS ${zorva_scenario_scripts_dir}/*.scn)
  set(tests)
  foreach(script IN LISTS scripts)
    get_filename_component(name ${script} NAME_WE)
    set(arguments ${path_prefix}${script})
    set(command ${host})
    if(option_RECORDER)
      set(command ${option_RECORDER} ${capture_dir}/${name}.raw ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${host}>)
    endif()
    add_test(NAME ${prefix}${name} COMMAND ${command} ${arguments} WORKING_DIRECTORY ${data_dir})
    set_tests_properties(${prefix}${name} PROPERTIES ZORVA_CAPTURE ${capture_dir}/${name}.raw TIMEOUT 60)
    list(APPEND tests ${prefix}${name})
  endforeach()
  set(${out_list} ${tests} PARENT_SCOPE)
endfunction()
