# Copies the shipped content into one seed directory per fuzz target (run at
# build time, after the content is baked): cmake -DSOURCE=... -DOUTPUT=... -P seeds.cmake
set(seed_globs
    "data_file=data/*.dat"
    "level=data/level/*.lvl"
    "volumes=data/collision/*.volumes"
    "triangle_mesh=data/collision/*.mesh"
    "navigation_mesh=data/level/*.nav"
    "material=resources/materials/*.mtl"
    "shader_definitions=resources/shaders/*.spd"
    "mesh_definitions=resources/meshes/*.mshd"
    "static_mesh=resources/meshes/*.mesh"
    "skeletal_mesh=resources/meshes/*.skel")
foreach(pair ${seed_globs})
    string(REPLACE "=" ";" parts "${pair}")
    list(GET parts 0 target)
    list(GET parts 1 pattern)
    file(GLOB_RECURSE files "${SOURCE}/${pattern}")
    if(NOT files)
        message(FATAL_ERROR "No seed for fuzz target ${target}: nothing matches ${pattern}")
    endif()
    file(MAKE_DIRECTORY "${OUTPUT}/${target}")
    file(COPY ${files} DESTINATION "${OUTPUT}/${target}")
endforeach()
