// The platform's run-loop timer services, as the timer manager calls them.
// The loading process supplies these functions; a bundle refers to them
// weakly, so it loads in a host that has none (then no timer starts, see
// platformRunLoopPresent). Our own host stand-in implements them in
// host/run_loop.cpp, which defines QW_PLATFORM_PROVIDER.
#pragma once

#include <cstdint>

#ifdef QW_PLATFORM_PROVIDER
#define QW_PLATFORM_API __attribute__((visibility("default")))
#else
#define QW_PLATFORM_API __attribute__((visibility("default"), weak))
#endif

extern "C"
{
    // Opaque platform objects.
    typedef const void* CFTypeRef;
    typedef struct QwPlatformRunLoop* CFRunLoopRef;
    typedef struct QwPlatformRunLoopTimer* CFRunLoopTimerRef;
    typedef const struct QwPlatformAllocator* CFAllocatorRef;
    typedef const struct QwPlatformText* CFStringRef;

    // Seconds on the platform's clock.
    typedef double CFAbsoluteTime;
    typedef double CFTimeInterval;
    typedef unsigned long CFOptionFlags;
    typedef long CFIndex;

    typedef void (*CFRunLoopTimerCallBack)(CFRunLoopTimerRef timer, void* info);

    // What a timer hands back to its callback (info); the three hooks may be null.
    typedef struct
    {
        CFIndex version;
        void* info;
        const void* (*retain)(const void* info);
        void (*release)(const void* info);
        CFStringRef (*copyDescription)(const void* info);
    } CFRunLoopTimerContext;

    QW_PLATFORM_API extern const CFAllocatorRef kCFAllocatorDefault;
    QW_PLATFORM_API extern const CFStringRef kCFRunLoopCommonModes;

    QW_PLATFORM_API CFAbsoluteTime CFAbsoluteTimeGetCurrent(void);
    QW_PLATFORM_API CFRunLoopRef CFRunLoopGetCurrent(void);
    // A timer that first fires at fireDate and then every interval seconds
    // (interval <= 0: once). The caller owns one reference.
    QW_PLATFORM_API CFRunLoopTimerRef CFRunLoopTimerCreate(CFAllocatorRef allocator, CFAbsoluteTime fireDate,
                                                           CFTimeInterval interval, CFOptionFlags flags, CFIndex order,
                                                           CFRunLoopTimerCallBack callout,
                                                           CFRunLoopTimerContext* context);
    QW_PLATFORM_API void CFRunLoopAddTimer(CFRunLoopRef loop, CFRunLoopTimerRef timer, CFStringRef mode);
    QW_PLATFORM_API void CFRunLoopRemoveTimer(CFRunLoopRef loop, CFRunLoopTimerRef timer, CFStringRef mode);
    // The timer never fires again and leaves every run loop.
    QW_PLATFORM_API void CFRunLoopTimerInvalidate(CFRunLoopTimerRef timer);
    QW_PLATFORM_API void CFRelease(CFTypeRef object);
}

#ifndef QW_PLATFORM_PROVIDER
// Whether the loading process provides the run-loop services (every one of
// them: a host provides the set or none).
inline bool platformRunLoopPresent()
{
    return &kCFAllocatorDefault != nullptr && &kCFRunLoopCommonModes != nullptr && &CFAbsoluteTimeGetCurrent &&
           &CFRunLoopGetCurrent && &CFRunLoopTimerCreate && &CFRunLoopAddTimer && &CFRunLoopRemoveTimer &&
           &CFRunLoopTimerInvalidate && &CFRelease;
}
#endif
