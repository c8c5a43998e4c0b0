/*
 * Tarnel's Windows kernel glue: load, the one dispatch routine, unload. Everything a request
 * does with its buffer is the portable core's (driver/dispatch.c); this file only hands the
 * system buffer over and completes the request, so that what runs in the kernel is the same
 * code the host tests exercise against the simulated port.
 *
 * Built twice from this one file: Tarnel.sys executes the port instructions itself, and the
 * test build (TARNEL_PORTS_THROUGH_HAL) goes through the HAL's port functions instead, because
 * a raw port instruction kills wine's driver host while the HAL functions are harmless stubs
 * there. Either way the driver imports nothing but the kernel (and, in the test build, the HAL).
 */
#include <ntddk.h>

#include "driver/dispatch.h"
#include "driver/driver_params.h"
#include "driver/port_io.h"
#include "protocol/tarnel_protocol.h"

/* The kernel exports these two only on 32-bit x86, and the DDK headers do not declare them.
 * A map is one bit per port for all 65536 ports; a 0 bit lets user mode use the port. */
NTKERNELAPI BOOLEAN NTAPI Ke386SetIoAccessMap(ULONG MapNumber, PVOID Map);
NTKERNELAPI BOOLEAN NTAPI Ke386IoSetAccessProcess(PEPROCESS Process, ULONG MapNumber);

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registry_path);

#define TARNEL_IO_MAP_BYTES 8192u
#define TARNEL_IO_MAP_NUMBER 1u
#define TARNEL_NO_IO_MAP 0u

static const WCHAR kDeviceName[] = L"\\Device\\Tarnel";
static const WCHAR kLinkName[] = L"\\DosDevices\\Tarnel";

/* The driver's whole state between requests. Zero at load: DriverParams then names family
 * AVR with cable kind 0, for which the core moves no line until SET_PARAMS arrives. */
static PVOID g_io_map;
static DriverParams g_params;

/* ---- Port access ------------------------------------------------------------------------ */

#ifdef TARNEL_PORTS_THROUGH_HAL
static uint8_t PortIn(void* context, uint16_t port) {
    (void)context;
    return READ_PORT_UCHAR((PUCHAR)(ULONG_PTR)port);
}

static void PortOut(void* context, uint16_t port, uint8_t value) {
    (void)context;
    WRITE_PORT_UCHAR((PUCHAR)(ULONG_PTR)port, value);
}
#else
/* Kernel mode may execute the port instructions directly; they compile inline. */
static uint8_t PortIn(void* context, uint16_t port) {
    (void)context;
    return __inbyte(port);
}

static void PortOut(void* context, uint16_t port, uint8_t value) {
    (void)context;
    __outbyte(port, value);
}
#endif

static const TarnelPortIo kPortIo = {PortIn, PortOut, 0};

/* ---- Requests --------------------------------------------------------------------------- */

/* Create and close always succeed; a control request is the core's to serve. Every request
 * is finished here in the caller's thread: the driver queues nothing. */
static NTSTATUS NTAPI TarnelDispatch(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    irp->IoStatus.Status = STATUS_SUCCESS;
    irp->IoStatus.Information = 0;
    if (stack->MajorFunction == IRP_MJ_DEVICE_CONTROL) {
        /* Buffered method: one system buffer of max(input, output) bytes, the caller's input
         * copied in and the returned byte count copied back out by the I/O manager. */
        uint32_t returned = 0;
        const uint32_t status = TarnelDispatchControl(
            &g_params, &kPortIo, stack->Parameters.DeviceIoControl.IoControlCode,
            (uint8_t*)irp->AssociatedIrp.SystemBuffer,
            stack->Parameters.DeviceIoControl.InputBufferLength,
            stack->Parameters.DeviceIoControl.OutputBufferLength, &returned);
        irp->IoStatus.Status = (NTSTATUS)status;
        irp->IoStatus.Information = returned;
    }
    /* The request belongs to the I/O manager once completed: take its status first. */
    const NTSTATUS status = irp->IoStatus.Status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

/* ---- Load and unload ------------------------------------------------------------------- */

/* Undoes the permission map of a load that cannot finish: the loading process loses its port
 * access again, and the map's memory goes back, since no unload will ever run for a driver
 * whose entry routine failed. */
static void ReleaseIoMap(PEPROCESS process) {
    Ke386IoSetAccessProcess(process, TARNEL_NO_IO_MAP);
    MmFreeNonCachedMemory(g_io_map, TARNEL_IO_MAP_BYTES);
    g_io_map = NULL;
}

static VOID NTAPI TarnelUnload(PDRIVER_OBJECT driver) {
    if (g_io_map != NULL) {
        MmFreeNonCachedMemory(g_io_map, TARNEL_IO_MAP_BYTES);
        g_io_map = NULL;
    }
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, kLinkName);
    IoDeleteSymbolicLink(&link);
    if (driver->DeviceObject != NULL) IoDeleteDevice(driver->DeviceObject);
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registry_path) {
    (void)registry_path;

    g_io_map = MmAllocateNonCachedMemory(TARNEL_IO_MAP_BYTES);
    if (g_io_map == NULL) return STATUS_INSUFFICIENT_RESOURCES;
    /* All bits clear: every port is open to the process the map is enabled for. */
    RtlZeroMemory(g_io_map, TARNEL_IO_MAP_BYTES);
    /* Their results are not looked at: the driver's own port access runs in kernel mode and
     * needs no map, so a kernel that refuses one still leaves a working device. */
    PEPROCESS process = IoGetCurrentProcess();
    Ke386IoSetAccessProcess(process, TARNEL_IO_MAP_NUMBER);
    Ke386SetIoAccessMap(TARNEL_IO_MAP_NUMBER, g_io_map);

    UNICODE_STRING device_name;
    RtlInitUnicodeString(&device_name, kDeviceName);
    PDEVICE_OBJECT device = NULL;
    NTSTATUS status =
        IoCreateDevice(driver, 0, &device_name, TARNEL_DEVICE_TYPE, 0, FALSE, &device);
    if (!NT_SUCCESS(status)) {
        ReleaseIoMap(process);
        return status;
    }

    UNICODE_STRING link;
    RtlInitUnicodeString(&link, kLinkName);
    status = IoCreateSymbolicLink(&link, &device_name);
    if (!NT_SUCCESS(status)) {
        /* The device name would otherwise stay taken until reboot, and the next load would
         * fail on it. */
        IoDeleteDevice(device);
        ReleaseIoMap(process);
        return status;
    }

    driver->DriverUnload = TarnelUnload;
    driver->MajorFunction[IRP_MJ_CREATE] = TarnelDispatch;
    driver->MajorFunction[IRP_MJ_CLOSE] = TarnelDispatch;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = TarnelDispatch;
    return STATUS_SUCCESS;
}
