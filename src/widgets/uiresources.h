#pragma once
// The pictures of the forms live in a resource file compiled into the static UI library;
// a static library's resources must be registered by a call before their first use.

void InitUiResources();
