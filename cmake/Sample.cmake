# corvath_add_sample(OUT_DIR <dir> BUILDER <path> PROGRAMS_DIR <dir> DEPENDS <targets...>)
#
# Custom target `corvath_sample`: the sample service pack, its record 206, the edge packages,
# the sample products, and a small update unlike the sample (a product whose ProductVersion has
# three fields, and a patch that replaces its data file and leaves the version as it is), all
# written into OUT_DIR. Sets CORVATH_SAMPLE_PATCH and
# CORVATH_SAMPLE_RECORD (full paths) in the caller's scope.
#
# PROGRAMS_DIR must hold corvath-8.0.0.0.exe, corvath-8.1.0.4.exe and corvath-8.2.0.5.exe.
# They are listed as file dependencies: when another project (ExternalProject) builds them, it
# has to name them in BUILD_BYPRODUCTS so that Ninja knows where they come from.

set(_corvath_sample_root "${CMAKE_CURRENT_LIST_DIR}/..")

find_program(CORVATH_WIXL wixl REQUIRED)
find_program(CORVATH_MSIBUILD msibuild REQUIRED)

# product name | line of target-codes.txt (or "small": samples/small-update-target.txt) |
# version | Language | what is special about it:
#   fails      its own custom action fails every patching run
#   long-name  a ProductName of 1,208 characters, longer than the 1,024 an installer property
#              buffer holds
#   restart    patching it asks for a restart (ScheduleReboot on PATCH)
set(_corvath_sample_products
    "corvath-de|1|8.1.0.4|1031|-"
    "corvath-fr|2|8.1.0.4|1036|-"
    "corvath-en|3|8.1.0.4|1033|-"
    "corvath-pl|4|8.1.0.4|1045|-"
    "corvath-current|5|8.2.0.5|1033|-"
    "corvath-old|6|8.0.0.0|1033|-"
    "corvath-failing|7|8.1.0.4|1033|fails"
    "corvath-longname|8|8.0.0.0|1033|long-name"
    "corvath-restart|9|8.1.0.4|1033|restart"
    "corvath-111|small|1.1.1|1033|-")

# "Corvath " and then 120 numbered blocks of ten characters: 1,208 in all, each part findable.
set(_corvath_long_name "Corvath ")
foreach(block RANGE 1 120)
    string(LENGTH "${block}" digits)
    math(EXPR dots "10 - ${digits}")
    string(REPEAT "." ${dots} filler)
    string(APPEND _corvath_long_name "${filler}${block}")
endforeach()

function(corvath_add_sample)
    cmake_parse_arguments(PARSE_ARGV 0 ARG "" "OUT_DIR;BUILDER;PROGRAMS_DIR" "DEPENDS")
    foreach(required OUT_DIR BUILDER PROGRAMS_DIR)
        if(NOT ARG_${required})
            message(FATAL_ERROR "corvath_add_sample: ${required} is required")
        endif()
    endforeach()

    set(root "${_corvath_sample_root}")
    set(codes_file "${root}/samples/target-codes.txt")
    set(small_update_file "${root}/samples/small-update-target.txt")
    set(wxs "${root}/samples/products/corvath.wxs")
    set(data_file "${root}/samples/products/corvath.dat")
    file(STRINGS "${codes_file}" codes)
    file(STRINGS "${small_update_file}" small_update_code)
    file(MAKE_DIRECTORY "${ARG_OUT_DIR}")

    # wixl rejects absolute Source paths; it resolves them from its working directory.
    file(RELATIVE_PATH data_from_programs "${ARG_PROGRAMS_DIR}" "${data_file}")

    set(outputs "")
    foreach(row IN LISTS _corvath_sample_products)
        string(REPLACE "|" ";" fields "${row}")
        list(GET fields 0 name)
        list(GET fields 1 line)
        list(GET fields 2 version)
        list(GET fields 3 language)
        list(GET fields 4 special)
        if(line STREQUAL "small")
            set(code "${small_update_code}")
            # Any host program will do: the small update replaces the data file alone.
            set(host_version 8.1.0.4)
        else()
            math(EXPR index "${line} - 1")
            list(GET codes ${index} code)
            set(host_version ${version})
        endif()
        set(msi "${ARG_OUT_DIR}/${name}.msi")

        # wixl leaves File.Version empty; the installer needs it to compare versions.
        set(finish COMMAND "${CORVATH_MSIBUILD}" "${msi}.part" -q
            "UPDATE File SET Version = '${version}' WHERE File = 'CorvathExe'")
        set(fails no)
        if(special STREQUAL "fails")
            set(fails yes)
            # wixl has no error custom action (type 19): the .wxs schedules a property action
            # on PATCH, turned here into one that fails the installation.
            list(APPEND finish COMMAND "${CORVATH_MSIBUILD}" "${msi}.part" -q
                "UPDATE CustomAction SET Type = 19, Source = '', Target = 'Corvath cannot be patched (sample product that refuses patches).' WHERE Action = 'RefusePatch'")
        elseif(special STREQUAL "restart")
            # Right after InstallFinalize, only when a patch is being applied.
            list(APPEND finish COMMAND "${CORVATH_MSIBUILD}" "${msi}.part" -q
                "INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('ScheduleReboot', 'PATCH', 6601)")
        elseif(special STREQUAL "long-name")
            list(APPEND finish COMMAND "${CORVATH_MSIBUILD}" "${msi}.part" -q
                "UPDATE Property SET Value = '${_corvath_long_name}' WHERE Property = 'ProductName'")
        endif()

        add_custom_command(OUTPUT "${msi}"
            COMMAND "${CORVATH_WIXL}" -a x64
                -D "ProductCode=${code}" -D "ProductVersion=${version}"
                -D "ProductLanguage=${language}" -D "FailOnPatch=${fails}"
                -D "HostProgram=corvath-${host_version}.exe" -D "DataFile=${data_from_programs}"
                -o "${msi}.part" "${wxs}"
            ${finish}
            COMMAND "${CMAKE_COMMAND}" -E rename "${msi}.part" "${msi}"
            WORKING_DIRECTORY "${ARG_PROGRAMS_DIR}"
            DEPENDS "${wxs}" "${data_file}" "${codes_file}" "${small_update_file}"
                "${ARG_PROGRAMS_DIR}/corvath-${host_version}.exe" ${ARG_DEPENDS}
            COMMENT "Building sample product ${name}.msi"
            VERBATIM)
        list(APPEND outputs "${msi}")
    endforeach()

    set(patch "${ARG_OUT_DIR}/corvath-sp-sample.msp")
    set(record "${ARG_OUT_DIR}/record206.txt")
    set(patch_outputs "${patch}" "${record}")
    foreach(edge pid7-2047 pid7-2048 pid7-10000 no-pid7 empty-entry not-cfb truncated
            database-class lower-case no-patch-code)
        list(APPEND patch_outputs "${ARG_OUT_DIR}/edge-${edge}.msp")
    endforeach()
    list(APPEND patch_outputs "${ARG_OUT_DIR}/other-patch.msp" "${ARG_OUT_DIR}/small-update.msp"
        "${ARG_OUT_DIR}/small-update.dat")
    foreach(shape minor-upgrade two-baselines family major-upgrade)
        list(APPEND patch_outputs "${ARG_OUT_DIR}/shape-${shape}.msp")
    endforeach()
    add_custom_command(OUTPUT ${patch_outputs}
        COMMAND "${ARG_BUILDER}" --targets "${codes_file}"
            --program "${ARG_PROGRAMS_DIR}/corvath-8.2.0.5.exe" --out-dir "${ARG_OUT_DIR}"
            --small-update-targets "${small_update_file}"
        DEPENDS "${ARG_BUILDER}" "${codes_file}" "${small_update_file}"
            "${ARG_PROGRAMS_DIR}/corvath-8.2.0.5.exe"
            ${ARG_DEPENDS}
        COMMENT "Building the sample service pack and the edge packages"
        VERBATIM)
    list(APPEND outputs ${patch_outputs})

    add_custom_target(corvath_sample ALL DEPENDS ${outputs})
    if(ARG_DEPENDS)
        add_dependencies(corvath_sample ${ARG_DEPENDS})
    endif()

    set(CORVATH_SAMPLE_PATCH "${patch}" PARENT_SCOPE)
    set(CORVATH_SAMPLE_RECORD "${record}" PARENT_SCOPE)
endfunction()
