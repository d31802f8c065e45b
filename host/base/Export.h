#pragma once
// The one export macro of the host library. Everything is built with
// -fvisibility=hidden; a class or function the module or the application
// reaches through libq7host carries Q7HOST_API.
#define Q7HOST_API __attribute__((visibility("default")))
