# Run by cmake --install: puts the package soil_climate below the install prefix, in the
# folder that the Python it was built for searches for that prefix (dist-packages below
# /usr/local on Debian, site-packages below ~/.local), else in lib/pythonX.Y/site-packages.
# SOIL_CLIMATE_PYTHON_INSTALL_DIR, when set, names the folder instead.
if(NOT SOIL_CLIMATE_PYTHON_INSTALL_DIR)
  execute_process(
    COMMAND "${SOIL_CLIMATE_PYTHON}" -c [=[
import os, site, sys
prefix = os.path.realpath(sys.argv[1])
for path in sys.path + [site.getusersitepackages()]:
    real = os.path.realpath(path) if path else ""
    if real.startswith(prefix + os.sep) and os.path.basename(real) in ("site-packages", "dist-packages"):
        print(os.path.relpath(real, prefix))
        break
else:
    print(f"lib/python{sys.version_info[0]}.{sys.version_info[1]}/site-packages")
]=] "${CMAKE_INSTALL_PREFIX}"
    OUTPUT_VARIABLE SOIL_CLIMATE_PYTHON_INSTALL_DIR OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
endif()
set(destination "${CMAKE_INSTALL_PREFIX}/${SOIL_CLIMATE_PYTHON_INSTALL_DIR}/soil_climate")
file(INSTALL DESTINATION "${destination}" TYPE SHARED_LIBRARY FILES "${SOIL_CLIMATE_MODULE}")
file(INSTALL DESTINATION "${destination}/.." TYPE DIRECTORY FILES "${SOIL_CLIMATE_PACKAGE_SOURCE}"
     FILES_MATCHING PATTERN "*.py")
