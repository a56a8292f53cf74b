#pragma once
// Script values (NPVariant) read into program values. Values come from page
// script, so nothing here trusts them: a string is read by its length (the
// browser does not terminate it), numbers saturate to the int32 range, and a
// value of an unexpected type reads as the type's empty value.
#include <cstdint>
#include <string>

#include "hosts/npapi/NpapiTypes.h"

// int32: the value. double: truncated toward zero, saturated, NaN 0. string:
// the leading decimal integer as C's atoi reads it (white space, sign,
// digits), saturated. Anything else: 0.
int32_t ScriptInteger(const NPVariant& value);
// string: its UTF-8 bytes. Anything else: empty.
std::string ScriptText(const NPVariant& value);
// boolean: the value. int32: its lowest byte is non-zero. double: non-zero.
// Anything else: false.
bool ScriptFlag(const NPVariant& value);
// object: the object (no reference is added). Anything else: null.
NPObject* ScriptObject(const NPVariant& value);
// The decimal text of an int32 argument, the bytes of a string; false for
// any other type.
bool ScriptFieldValue(const NPVariant& value, std::string* text);
