// Builds an exported native's name from the class prefix that CMake computes (the package and
// class mangled the way the Java virtual machine looks names up) and the method name.
#pragma once

#define JNI_NAME_JOIN(prefix, method) prefix##method
#define JNI_NAME(prefix, method) JNI_NAME_JOIN(prefix, method)
