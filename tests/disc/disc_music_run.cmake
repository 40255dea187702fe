# Runs vexlo_disc_music on FOLDER (for disc_music_test.cmake).
include(${SOURCE_DIR}/cmake/DiscMusic.cmake)
vexlo_disc_music(music "${FOLDER}")
