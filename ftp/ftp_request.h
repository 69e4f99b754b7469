#pragma once

#include <cstdint>

namespace zel {

// Request types of the FTP session engine. The numbers are part of the log texts of the upload
// client ("Unexpected RqType: %d"), so the order never changes.
enum TFtpRequest : std::uint8_t {
    ftpNone,
    ftpOpenAsync,
    ftpUserAsync,
    ftpPassAsync,
    ftpCwdAsync,
    ftpConnectAsync,
    ftpReceiveAsync,
    ftpDirAsync,
    ftpLsAsync,
    ftpPortAsync,
    ftpGetAsync,
    ftpDirectoryAsync,
    ftpListAsync,
    ftpSystemAsync,
    ftpSystAsync,
    ftpQuitAsync,
    ftpAbortXferAsync,
    ftpSizeAsync,
    ftpPutAsync,
    ftpAppendAsync,
    ftpFileSizeAsync,
    ftpRqAbort,
    ftpMkdAsync,
    ftpRmdAsync,
    ftpRenameAsync,
    ftpDeleAsync,
    ftpRenAsync,
    ftpRenToAsync,
    ftpRenFromAsync,
    ftpDeleteAsync,
    ftpMkdirAsync,
    ftpRmdirAsync,
    ftpPwdAsync,
    ftpQuoteAsync,
    ftpCDupAsync,
    ftpDoQuoteAsync,
    ftpTransmitAsync,
    ftpTypeSetAsync,
    ftpRestAsync,
    // 39 to 75: types of the wider protocol (listings, downloads, restarts, features...) that this
    // engine never issues; only their numbering is kept.
    ftpConnectFeatHostAsync = 76,
};

inline constexpr int ftp_request_count = 77;

// Engine states, in their fixed order from 0.
enum TFtpState : std::uint8_t {
    ftpNotConnected,
    ftpReady,
    ftpInternalReady,
    ftpDnsLookup,
    ftpConnected,
    ftpAbort,
    ftpInternalAbort,
    ftpWaitingBanner,
    ftpWaitingResponse,
    ftpPasvReady,
};

} // namespace zel
