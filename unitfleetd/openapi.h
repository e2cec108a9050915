// SPDX-License-Identifier: Apache-2.0
// The OpenAPI 3 document of the API (openapi.json, compiled in).
#pragma once

namespace unitfleetd {

const char* openApiText();

}  // namespace unitfleetd
