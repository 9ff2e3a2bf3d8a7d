#pragma once
#include "onvif/HttpTransport.h"

#include <curl/curl.h>

#include <cstdint>
#include <string>

// What CurlTransport's POST and file upload share; internal to the onvif library.
namespace onvif::curl_request {

struct Received {
    HttpResponse* response;
    size_t max_body;
    bool too_large = false;
};
// Header callback: keeps the last response's WWW-Authenticate values (bounded).
size_t on_header(char* data, size_t, size_t size, void* user);
// A system duration as the real milliseconds curl waits, at least 1.
long real_ms(int64_t system_ms);

// A fresh POST on the kept handle: the URL, http and https only, no redirect, no proxy, no
// signals, the connect timeout, the header callback into received. Returns the header list,
// to be freed after the transfer.
curl_slist* prepare(CURL* curl, const HttpRequest& request, const char* expect, int64_t connect_timeout_ms, Received& received);

} // namespace onvif::curl_request
