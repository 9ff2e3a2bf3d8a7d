/* The device SDK: log in to one camera, read and write its configuration, control it,
 * upgrade its firmware, watch its live picture and hear its microphone. A C interface so that
 * any language and any toolkit can use it; our own implementation over the protocol in
 * docs/device-protocol.md.
 *
 * Handles and results are signed 32-bit. A handle of -1 means none. Result 0 is success;
 * positive results come from the device, negative ones from the library itself (below).
 * Texts are zero-terminated 8-bit strings. Records are little-endian and packed.
 *
 * The library writes nothing to its caller's standard error unless asked: with the
 * environment variable OVIX_DEBUG_LOG set (to anything but empty or 0) when the library logs
 * its first line, it writes a diagnostic line there for each failure (a refused connection,
 * a dropped link, an unknown handle). */
#ifndef OVIX_CLIENT_H
#define OVIX_CLIENT_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#define OVIX_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define OVIX_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

#define OVIX_API __attribute__((visibility("default")))

/* ---- Results ------------------------------------------------------------------------- */

enum {
    OVIX_OK = 0,
    /* answered by the device */
    OVIX_ERR_FAILED = 1,            /* the device could not carry the request out */
    OVIX_ERR_UPGRADE_VERSION = 2,   /* firmware version refused */
    OVIX_ERR_UPGRADE_BOARD = 3,     /* firmware made for another board type */
    OVIX_ERR_UNSUPPORTED = 4,       /* command or control unknown to the device */
    OVIX_ERR_BAD_REQUEST = 5,       /* wrong record length or value */
    OVIX_ERR_VERSION = 7,           /* protocol version not spoken by the device */
    OVIX_ERR_UPGRADE_INVALID = 10,  /* firmware file damaged or not a firmware file */
    OVIX_ERR_USER_UNKNOWN = 12,
    OVIX_ERR_PASSWORD = 13,
    OVIX_ERR_USER_LIMIT = 15,       /* the device has its maximum of logins */
    OVIX_ERR_REFUSED_NOW = 16,      /* the device refuses logins for now */
    OVIX_ERR_BUSY = 17,             /* try again later */
    /* raised by the library */
    OVIX_ERR_NOT_INIT = -2,         /* Network_ClientInit was not called */
    OVIX_ERR_BAD_HANDLE = -3,       /* -1, stale, or a handle of another kind */
    OVIX_ERR_BAD_ARGUMENT = -4,     /* null buffer, wrong length, unknown live command */
    OVIX_ERR_CONNECT = -5,          /* refused, unreachable, or no greeting within the connect timeout */
    OVIX_ERR_TIMEOUT = -6,          /* no answer within the request timeout; upgrade stalled */
    OVIX_ERR_DISCONNECTED = -7,     /* the login's connection is gone */
    OVIX_ERR_PROTOCOL = -8,         /* the peer does not speak our protocol */
    OVIX_ERR_FILE = -9,             /* firmware file cannot be read */
    OVIX_ERR_RESOURCES = -10,       /* no thread or memory for it */
    OVIX_ERR_REENTRANT = -11        /* a request on a login from inside that login's callback */
};

/* Time limits, in milliseconds. */
enum {
    OVIX_CONNECT_TIMEOUT_MS = 3000, /* TCP connect plus the device's greeting */
    OVIX_REQUEST_TIMEOUT_MS = 5000  /* each request, the login included, until its answer */
};

/* ---- Configuration commands (Get/SetDeviceConfig) ------------------------------------ */

enum {
    OVIX_CMD_USB_INFO = 910,        /* get: ovix_usb_info */
    OVIX_CMD_GET_CLOCK = 1000,      /* get: ovix_clock */
    OVIX_CMD_SET_CLOCK = 1001,      /* set: ovix_clock */
    OVIX_CMD_SHELL = 1036,          /* set: OVIX_SHELL_COMMAND_SIZE bytes of text */
    OVIX_CMD_CUSTOMER_CFG = 1060,   /* set: customer_cfg */
    OVIX_CMD_DEVICE_INFO = 1100,    /* get: ovix_device_info */
    OVIX_CMD_LOGO_START = 1420,     /* set: total length, int32 */
    OVIX_CMD_LOGO_DATA = 1421,      /* set: next chunk, at most OVIX_LOGO_CHUNK_MAX bytes */
    OVIX_CMD_LOGO_FINISH = 1422,    /* set: no data */
    OVIX_SHELL_COMMAND_SIZE = 128,
    OVIX_LOGO_CHUNK_MAX = 1024,
    OVIX_CONFIG_MAX = 65536         /* largest record either way */
};

/* Network_ClientDeviceControl commands. Lamp: value 1 = 1 on / 0 off, value 2 = 1 white / 0 infrared. */
enum {
    OVIX_CTRL_FACTORY_RESET = 2,
    OVIX_CTRL_PASSWORD_RESET = 4,
    OVIX_CTRL_LAMP = 100
};

/* Network_ClientLDRControl codes. */
enum {
    OVIX_LDR_LAMP_BOARD = 1042,     /* 1 soft-light board, 2 hard-light board */
    OVIX_LDR_LAMP = 1043,           /* 2 hard light; 4 double, 5 white, 6 infrared */
    OVIX_LDR_SPEAKER = 1044,        /* 0 off, 1 on */
    OVIX_LDR_MICROPHONE = 1045,     /* 0 off, 1 on */
    OVIX_LDR_DIRECTION = 1046       /* 0 normal, 1 reverse */
};

/* Network_ClientLiveControl commands and their argument. */
enum {
    OVIX_LIVE_MIC_OPEN = 3,         /* none */
    OVIX_LIVE_MIC_CLOSE = 4,        /* none */
    OVIX_LIVE_SET_TARGET = 6,       /* OVIX_WINDOW* : address of the window handle; a null handle detaches */
    OVIX_LIVE_FRAME_RATE = 10,      /* int32_t* : frames per second, 0 = the device's own rate */
    OVIX_LIVE_ZOOM = 11,            /* ovix_zoom* */
    OVIX_LIVE_SET_AUDIO_TARGET = 12 /* OVIX_AUDIO_TARGET* : address of the audio target; a null one detaches */
};

/* ---- Records --------------------------------------------------------------------------- */

#pragma pack(push, 1)

/* Settings record. Each value follows its apply word (1 = apply, 0 = ignore). */
typedef struct customer_cfg {
    int32_t apply_time_zone;        /* 0 */
    int32_t time_zone;              /* 4: seconds east of UTC */
    int32_t apply_time_format;      /* 8 */
    int32_t time_format;            /* 12: 0..3 */
    int32_t apply_language;         /* 16 */
    int32_t language;               /* 20: 0..20 */
    int32_t apply_video_standard;   /* 24 */
    int32_t video_standard;         /* 28: 1 NTSC, 2 PAL, 5 family-1 default */
    int32_t apply_password;         /* 32 */
    char password[32];              /* 36 */
    uint8_t reserved1[24];          /* 68 */
    int32_t apply_wifi_ch_max;      /* 92 */
    int32_t wifi_ch_max;            /* 96 */
    int32_t apply_wifi_ch_default;  /* 100 */
    int32_t wifi_ch_default;        /* 104: 0 automatic */
    int32_t apply_dhcp_enable;      /* 108 */
    int32_t dhcp_enable;            /* 112 */
    uint8_t reserved2[1048];        /* 116 .. 1163 */
} customer_cfg;
OVIX_STATIC_ASSERT(sizeof(customer_cfg) == 1164, "customer_cfg size");
OVIX_STATIC_ASSERT(offsetof(customer_cfg, time_zone) == 4, "time_zone");
OVIX_STATIC_ASSERT(offsetof(customer_cfg, time_format) == 12, "time_format");
OVIX_STATIC_ASSERT(offsetof(customer_cfg, language) == 20, "language");
OVIX_STATIC_ASSERT(offsetof(customer_cfg, video_standard) == 28, "video_standard");
OVIX_STATIC_ASSERT(offsetof(customer_cfg, password) == 36, "password");
OVIX_STATIC_ASSERT(offsetof(customer_cfg, apply_wifi_ch_max) == 92, "apply_wifi_ch_max");
OVIX_STATIC_ASSERT(offsetof(customer_cfg, wifi_ch_default) == 104, "wifi_ch_default");
OVIX_STATIC_ASSERT(offsetof(customer_cfg, dhcp_enable) == 112, "dhcp_enable");

/* Clock record. Bytes 0..47 belong to the device and are written back as read. */
typedef struct ovix_clock {
    int32_t device_words[9];        /* 0 */
    int32_t profile;                /* 36: clock profile; family-1 devices take 5 */
    int32_t device_words2[2];       /* 40 */
    int32_t year;                   /* 48 */
    int32_t month;                  /* 52: 1..12 */
    int32_t day;                    /* 56 */
    int32_t hour;                   /* 60: 0..23 */
    int32_t minute;                 /* 64 */
    int32_t second;                 /* 68 */
} ovix_clock;
OVIX_STATIC_ASSERT(sizeof(ovix_clock) == 72, "ovix_clock size");
OVIX_STATIC_ASSERT(offsetof(ovix_clock, profile) == 36, "profile");
OVIX_STATIC_ASSERT(offsetof(ovix_clock, year) == 48, "year");
OVIX_STATIC_ASSERT(offsetof(ovix_clock, second) == 68, "second");

/* Device information (command 1100). */
typedef struct ovix_device_info {
    char board_name[32];            /* 0 */
    uint32_t board_id;              /* 32 */
    uint8_t reserved1[4];           /* 36 */
    char mac[64];                   /* 40: "AA:BB:CC:DD:EE:FF" */
    char software_version[64];      /* 104: "1.2.3" */
    char hardware_version[64];      /* 168 */
    char serial[64];                /* 232 */
    char board_type[32];            /* 296: what firmware headers must name */
    uint8_t reserved2[352];         /* 328 */
    char pid[64];                   /* 680: product id */
    char cloud_uid[64];             /* 744 */
    char qr_text[128];              /* 808 .. 935 */
} ovix_device_info;
OVIX_STATIC_ASSERT(sizeof(ovix_device_info) == 936, "ovix_device_info size");
OVIX_STATIC_ASSERT(offsetof(ovix_device_info, board_id) == 32, "board_id");
OVIX_STATIC_ASSERT(offsetof(ovix_device_info, mac) == 40, "mac");
OVIX_STATIC_ASSERT(offsetof(ovix_device_info, software_version) == 104, "software_version");
OVIX_STATIC_ASSERT(offsetof(ovix_device_info, pid) == 680, "pid");
OVIX_STATIC_ASSERT(offsetof(ovix_device_info, cloud_uid) == 744, "cloud_uid");
OVIX_STATIC_ASSERT(offsetof(ovix_device_info, qr_text) == 808, "qr_text");

/* USB and TF card information (command 910). */
typedef struct ovix_usb_info {
    int32_t disk_cnt;               /* 0: cards present */
    int32_t total_mb;               /* 4 */
    int32_t free_mb;                /* 8 */
    uint8_t reserved[40];           /* 12 */
    char description[128];          /* 52 .. 179 */
} ovix_usb_info;
OVIX_STATIC_ASSERT(sizeof(ovix_usb_info) == 180, "ovix_usb_info size");
OVIX_STATIC_ASSERT(offsetof(ovix_usb_info, description) == 52, "description");

/* Capabilities (Network_ClientGetCameraAdvanceConfig). Flags are 1 = present. */
typedef struct ovix_capability {
    uint8_t channels;               /* 0 */
    uint8_t reserved1[3];           /* 1 */
    uint8_t microphone;             /* 4 */
    uint8_t speaker;                /* 5 */
    uint8_t ircut;                  /* 6 */
    uint8_t tf_slot;                /* 7 */
    uint8_t ptz;                    /* 8 */
    int8_t lamp_type;               /* 9: 0 none, 1 double, 2 white, 3 infrared, 4..6 the same with PWM */
    uint8_t digital_zoom;           /* 10 */
    uint8_t lamp_board;             /* 11: 1 soft light, 2 hard light */
    uint8_t reserved2[52];          /* 12 .. 63 */
} ovix_capability;
OVIX_STATIC_ASSERT(sizeof(ovix_capability) == 64, "ovix_capability size");
OVIX_STATIC_ASSERT(offsetof(ovix_capability, microphone) == 4, "microphone");
OVIX_STATIC_ASSERT(offsetof(ovix_capability, speaker) == 5, "speaker");
OVIX_STATIC_ASSERT(offsetof(ovix_capability, ptz) == 8, "ptz");
OVIX_STATIC_ASSERT(offsetof(ovix_capability, lamp_type) == 9, "lamp_type");
OVIX_STATIC_ASSERT(offsetof(ovix_capability, lamp_board) == 11, "lamp_board");

/* Live preview request (Network_ClientStartLive). The window field is 32 bits wide and cannot
 * hold a pointer on 64-bit systems: the library ignores it, and the picture goes to the
 * render target given with OVIX_LIVE_SET_TARGET. */
typedef struct ovix_live_preview {
    int32_t channel;                /* 0 */
    uint32_t window;                /* 4: ignored */
    int32_t stream;                 /* 8: 1 main stream, 2 preview stream (smaller picture) */
} ovix_live_preview;
OVIX_STATIC_ASSERT(sizeof(ovix_live_preview) == 12, "ovix_live_preview size");
OVIX_STATIC_ASSERT(offsetof(ovix_live_preview, stream) == 8, "stream");

enum { OVIX_PTZ_MOVE = 1, OVIX_PTZ_UP = 0, OVIX_PTZ_DOWN = 1, OVIX_PTZ_LEFT = 2, OVIX_PTZ_RIGHT = 3, OVIX_PTZ_STOP = 8 };

/* Pan/tilt command (Network_ClientPTZControl). */
typedef struct ovix_ptz {
    int32_t action;                 /* 0: OVIX_PTZ_MOVE */
    int32_t direction;              /* 4: OVIX_PTZ_UP .. OVIX_PTZ_STOP */
    int32_t speed;                  /* 8: 0 = the device's own speed */
} ovix_ptz;
OVIX_STATIC_ASSERT(sizeof(ovix_ptz) == 12, "ovix_ptz size");
OVIX_STATIC_ASSERT(offsetof(ovix_ptz, direction) == 4, "direction");

/* Digital zoom (OVIX_LIVE_ZOOM): 0 resets, 200 is 1x, 1000 is 5x. The centre is given in
 * pixels of the viewing window, whose size the device does not know: the record reaches the
 * device unchanged, and our cameras zoom about the middle of the picture. */
typedef struct ovix_zoom {
    int32_t zoom;                   /* 0 */
    int32_t x;                      /* 4 */
    int32_t y;                      /* 8 */
} ovix_zoom;
OVIX_STATIC_ASSERT(sizeof(ovix_zoom) == 12, "ovix_zoom size");

enum {
    OVIX_EVENT_LOGIN_DROPPED = 0x10001,
    /* sub codes of a dropped login */
    OVIX_DROP_CLOSED = 1,           /* the device closed the connection (reboot) */
    OVIX_DROP_SILENT = 2,           /* no traffic and no keep-alive answer */
    OVIX_DROP_PROTOCOL = 3,         /* the device sent something that is not our protocol */
    OVIX_DROP_NETWORK = 4           /* reset or other socket error */
};

/* Event handed to the event callback. Device events carry the device's codes and text. */
typedef struct ovix_event {
    int32_t login_handle;           /* 0 */
    int32_t main;                   /* 4: main code, e.g. OVIX_EVENT_LOGIN_DROPPED */
    int32_t sub;                    /* 8 */
    int32_t value;                  /* 12 */
    char text[48];                  /* 16 .. 63 */
} ovix_event;
OVIX_STATIC_ASSERT(sizeof(ovix_event) == 64, "ovix_event size");
OVIX_STATIC_ASSERT(offsetof(ovix_event, main) == 4, "main code is the second word");

#pragma pack(pop)

/* ---- Render target: the "window handle" of live view ------------------------------------- */

/* One decoded picture: RGB32, one 32-bit word 0xFFRRGGBB per pixel in native byte order
 * (the layout of QImage::Format_RGB32). Valid only during the callback. */
typedef struct ovix_frame {
    const uint8_t* pixels;
    int32_t width;
    int32_t height;
    int32_t stride;                 /* bytes from one row to the next */
    uint32_t sequence;              /* counts the device's pictures; gaps are dropped pictures */
    int64_t timestamp_ms;           /* device time of the picture */
} ovix_frame;

/* Called on a library thread for each picture. It must return soon and must not call the
 * library; a toolkit widget copies the picture and schedules a repaint on its own thread.
 * Nor may it wait for a lock that another thread holds while calling the library: answers
 * arrive on this same thread, and StopLive and Logout wait for the callback to finish. */
typedef void (*ovix_frame_callback)(void* context, const ovix_frame* frame);

typedef struct ovix_render_target {
    ovix_frame_callback on_frame;
    void* context;
} ovix_render_target;

/* The window handle: a render target that outlives its use by a live handle. Once
 * Network_ClientStopLive of that live handle, Network_ClientLogout of its login, or setting
 * another target or a null handle has returned, no frame callback of the old target runs any
 * more: these calls wait for a callback in progress to finish, so the target may be freed at
 * once. After the logout the live handle refuses a new target with OVIX_ERR_DISCONNECTED. */
typedef ovix_render_target* OVIX_WINDOW;

/* ---- Audio target: the microphone of live view ------------------------------------------- */

/* One chunk of sound: signed 16-bit samples in native byte order, channels interleaved, so
 * frames * channels values. Valid only during the callback. */
typedef struct ovix_audio {
    const int16_t* samples;
    int32_t frames;                 /* samples per channel */
    int32_t channels;
    int32_t sample_rate;            /* frames per second */
    uint32_t sequence;              /* counts the device's chunks; gaps are dropped chunks */
    int64_t timestamp_ms;           /* device time of the chunk */
} ovix_audio;

/* Called on the same library thread as the frame callback, under the same rules: it must
 * return soon, must not call the library, and must not wait for a lock that another thread
 * holds while calling the library. A player copies the samples into its own buffer. */
typedef void (*ovix_audio_callback)(void* context, const ovix_audio* audio);

typedef struct ovix_audio_target {
    ovix_audio_callback on_audio;
    void* context;
} ovix_audio_target;

/* Where a live handle's sound goes (OVIX_LIVE_SET_AUDIO_TARGET); the device sends sound while
 * its microphone is open (OVIX_LIVE_MIC_OPEN until OVIX_LIVE_MIC_CLOSE). The same lifetime as
 * OVIX_WINDOW: once Network_ClientStopLive of that live handle, Network_ClientLogout of its
 * login, or setting another audio target or a null one has returned, no audio callback of the
 * old target runs any more, so the target may be freed at once. After the logout the live
 * handle refuses a new audio target with OVIX_ERR_DISCONNECTED. */
typedef ovix_audio_target* OVIX_AUDIO_TARGET;

/* ---- Calls ------------------------------------------------------------------------------- */

/* Runs on the login's connection thread; the result is ignored. Requests on the same login
 * made from inside it fail with OVIX_ERR_REENTRANT (their answer would have to come through
 * this thread); Logout and calls on other logins are fine. */
typedef int32_t (*ovix_event_callback)(int32_t login_handle, const ovix_event* event, void* context);

/* Counted: the library is ready after the first Init and closes every handle at the last UnInit. */
OVIX_API int32_t Network_ClientInit(void);
OVIX_API int32_t Network_ClientUnInit(void);

/* Dotted IPv4 address only; names are never resolved. */
OVIX_API int32_t Network_ClientLogin(int32_t* login_handle, const char* ip, int32_t port, const char* user,
                                     const char* password);
OVIX_API int32_t Network_ClientLogout(int32_t login_handle);
OVIX_API int32_t Network_ClientSetEventCB(int32_t login_handle, ovix_event_callback callback, void* context);

/* The answer is copied into buffer; bytes the device did not send are zeroed. A success
 * answer without any data is OVIX_ERR_PROTOCOL. The same holds for GetCameraAdvanceConfig. */
OVIX_API int32_t Network_ClientGetDeviceConfig(int32_t login_handle, int32_t command, int32_t channel, void* buffer,
                                               int32_t length);
OVIX_API int32_t Network_ClientSetDeviceConfig(int32_t login_handle, int32_t command, int32_t channel,
                                               const void* buffer, int32_t length);
OVIX_API int32_t Network_ClientDeviceControl(int32_t login_handle, int32_t command, int32_t channel, int32_t value1,
                                             int32_t value2);

/* Refusals (2, 3, 10, 17) come back before any image data moves; then the file is sent in
 * the background. Status: percent the device has received, 100 once it holds the whole,
 * verified file; a failed transfer returns its error. */
OVIX_API int32_t Network_ClientStartUpgrade(int32_t* upgrade_handle, int32_t login_handle, const char* file_path);
OVIX_API int32_t Network_ClientGetUpgradeStatus(int32_t upgrade_handle, int32_t* percent);
OVIX_API int32_t Network_ClientStopUpgrade(int32_t upgrade_handle);

OVIX_API int32_t Network_ClientStartLive(int32_t* live_handle, int32_t login_handle, const ovix_live_preview* preview,
                                         int32_t reserved1, int32_t reserved2);
/* Returns once no frame or audio callback of the stream is running, and none will start (see
 * OVIX_WINDOW and OVIX_AUDIO_TARGET). */
OVIX_API int32_t Network_ClientStopLive(int32_t live_handle);
OVIX_API int32_t Network_ClientLiveControl(int32_t live_handle, int32_t command, void* argument);

OVIX_API int32_t Network_ClientLDRControl(int32_t login_handle, int32_t code, int32_t value);
OVIX_API int32_t Network_ClientIrcutControl(int32_t login_handle, int32_t open);
OVIX_API int32_t Network_ClientPTZControl(int32_t login_handle, int32_t channel, const ovix_ptz* command);
OVIX_API int32_t Network_ClientPlayVoiceData_test(int32_t login_handle, int32_t value);
OVIX_API int32_t Network_ClientGetCameraAdvanceConfig(int32_t login_handle, int32_t channel, void* buffer,
                                                      int32_t length);

#ifdef __cplusplus
}
#endif

#endif /* OVIX_CLIENT_H */
