#pragma once

#include <string>

#include "catalogue/api_interface.h"

// Value of the Authorization header after "Basic ": Base64 of user + ":" + password, bytes as
// given, no line breaks. Any lengths; an empty user still gives the Base64 of ":" + password.
std::string EncodeCredentials(const std::string& user, const std::string& password);

// What a short-mode click stores for the short send and shows in the request editor.
struct ShortRequest {
    std::string strInterface;      // request path without the leading "/": name[/1][/Up]
    std::string strPairInterface;  // the record's paired name; empty when it has none
    std::string strBody;           // body to post, entered password substituted; may be empty
    std::string strHost;           // Host value: the IP text (see HostOfUrl); an IPv6 literal in
                                   // brackets, without its zone
    std::string strAuth;           // Basic credentials (EncodeCredentials)
    std::string preview;           // the complete request text for the editor
};

// The short-mode click on the list item `itemText`. `record` is the catalogue record found
// for it (Catalogue::Find); when null the path is itemText with no pair, no body and no
// channel. In the body only the first Base64 form of the default password is replaced by the
// Base64 form of `password`. A channel record gets "/1"; "PtzControl/1" with a body gets
// "/Up". No length limits.
ShortRequest ComposeShortRequest(const API_INTERFACE* record, const std::string& itemText,
                                 const std::string& ip, const std::string& shortPort,
                                 const std::string& user, const std::string& password);

// A short request as shown to the user: the with-body header (Content-Length in bytes)
// followed by the body, or, when body is empty, the without-body header ending in the blank
// line. Every line ends in CR LF.
std::string FormatShortRequestHeader(const std::string& path, const std::string& auth,
                                     const std::string& host, const std::string& body);

// The host part of a URL: the text after "http://" (or from the start when that prefix is
// missing) up to the first ":" or "/"; "" for "http://:80".
std::string HostOfUrl(const std::string& url);
