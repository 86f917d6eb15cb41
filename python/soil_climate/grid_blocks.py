"""A grid of any size, block by block: the cells are cut into blocks along one spatial
dimension (every month of a cell within its block), and each block is read from the files,
simulated and written by whoever runs it, a thread here or a worker of a Dask cluster. The
client holds only the plan and the blocks in flight, so that its memory does not grow with
the grid.

To NetCDF the blocks are compressed where they are made and written in order from this
process (grid_netcdf_blocks); to Zarr each block is written in place by the worker that
made it, and marked done only once written, so that a run stopped
anywhere resumes from the blocks that are done."""

import concurrent.futures
import hashlib
import json
import math
import os
import shutil
import sys
import time

import numpy as np

from . import _model, grid, grid_climate, grid_netcdf

BYTES_PER_CELL_MONTH = 2 * 8  # temperature and precipitation as doubles
BYTES_PER_CELL_YEAR = 3 * 8 * 24  # the year's fields and summaries, with the copies made on the way
DONE = ".soil_grid_blocks"  # the Zarr store's folder of the blocks written
FINGERPRINT = "soil_grid_fingerprint"


class BlockFault(Exception):
    """A plan or a store that cannot be used: one line."""


def parse_memory(text):
    """'512MB', '2GB', '1.5GiB' or a number of bytes, as bytes."""
    units = {"": 1, "b": 1, "kb": 1e3, "mb": 1e6, "gb": 1e9, "tb": 1e12, "kib": 2**10, "mib": 2**20,
             "gib": 2**30, "tib": 2**40}
    number = text.strip().lower().rstrip("bitgmk")
    unit = text.strip().lower()[len(number):]
    try:
        value = float(number) * units[unit]
    except (ValueError, KeyError):
        raise ValueError(f"{text!r} is not an amount of memory such as 2GB") from None
    if not math.isfinite(value) or value < 1e6:
        raise ValueError(f"{text!r} is less than a megabyte")
    return int(value)


class Plan:
    """Blocks of `rows` cells along `dim` (of `size`), whole along the other dimensions."""

    def __init__(self, dim, size, rows):
        self.dim, self.size, self.rows = dim, size, max(1, min(rows, size))

    @property
    def count(self):
        return -(-self.size // self.rows)

    def region(self, index):
        return {self.dim: slice(index * self.rows, min((index + 1) * self.rows, self.size))}


def plan_of(temperature, chunks_text, memory_per_worker):
    """The blocks: along the dimension and of the height `--chunks` names, else along the
    first spatial dimension, as many rows as a quarter of a worker's memory holds."""
    spatial = [dim for dim in temperature.dims if dim != "time"]
    if chunks_text:
        named = {}
        for part in chunks_text.split(","):
            name, _, size = part.partition("=")
            if name not in spatial or not size.isdigit() or int(size) < 1:
                raise BlockFault(f'--chunks "{chunks_text}": give DIM=N for one of the spatial dimensions '
                                 f'{", ".join(spatial)}')
            named[name] = int(size)
        if len(named) != 1:
            raise BlockFault(f'--chunks "{chunks_text}": the blocks run along one dimension; name one')
        (dim, rows), = named.items()
        return Plan(dim, temperature.sizes[dim], rows)
    dim = spatial[0]
    years = temperature.sizes["time"] // 12
    cells_per_row = int(np.prod([temperature.sizes[d] for d in spatial[1:]], dtype=np.int64))
    per_cell = 12 * years * BYTES_PER_CELL_MONTH + years * BYTES_PER_CELL_YEAR
    return Plan(dim, temperature.sizes[dim], int(memory_per_worker // 4 // max(1, per_cell * cells_per_row)))


def template(block, climate, plan):
    """The whole grid's Dataset with the variables of a simulated `block`, each a lazy array
    that is never computed: the layout from which the output's metadata are written."""
    import dask.array
    xarray = grid._xarray()
    variables = {}
    for name, variable in block.data_vars.items():
        shape = tuple(plan.size if dim == plan.dim else variable.sizes[dim] for dim in variable.dims)
        chunks = tuple(plan.rows if dim == plan.dim else variable.sizes[dim] for dim in variable.dims)
        empty = dask.array.empty(shape, dtype=variable.dtype, chunks=chunks)
        variables[name] = xarray.Variable(variable.dims, empty, variable.attrs, dict(variable.encoding))
    coords = {name: coordinate for name, coordinate in block.coords.items() if plan.dim not in coordinate.dims}
    coords.update({name: coordinate for name, coordinate in climate.coords.items()
                   if name != "time" and "time" not in coordinate.dims})
    return xarray.Dataset(variables, coords=coords, attrs=dict(block.attrs))


def block_variables(dataset, plan):
    """The names of the variables that each block writes its part of: those along the
    blocks' dimension but the cells' bounds, which the layout writes with the coordinates,
    the class names and the grid mapping."""
    bounds = {variable.attrs["bounds"] for variable in dataset.coords.values() if "bounds" in variable.attrs}
    return [name for name, variable in dataset.data_vars.items() if plan.dim in variable.dims and name not in bounds]


def chunk_sizes(dataset, plan):
    return {name: tuple(plan.rows if dim == plan.dim else dataset.sizes[dim] for dim in dataset[name].dims)
            for name in block_variables(dataset, plan)}


def along_plan(dataset, plan):
    """A block's variables that it writes its part of."""
    return dataset[block_variables(dataset, plan)]


def fingerprint(arguments, files, plan):
    """What a store's results depend on: the program, the options that shape the results,
    the inputs as they are now (name, size, time of change) and the block plan."""
    digest = hashlib.sha256()
    module = _model.__file__
    with open(module, "rb") as binary:
        digest.update(binary.read())
    package = os.path.dirname(os.path.abspath(__file__))
    for name in sorted(os.listdir(package)):
        if name.endswith(".py"):
            with open(os.path.join(package, name), "rb") as source:
                digest.update(name.encode() + source.read())
    ignored = {"paths", "workers", "scheduler", "resume", "map", "map_kind", "geotiff", "memory_per_worker"}
    options = {key: value for key, value in sorted(vars(arguments).items()) if key not in ignored}
    digest.update(json.dumps(options, sort_keys=True, default=str).encode())
    for path in sorted(set(files)):
        status = os.stat(path)
        digest.update(f"{os.path.realpath(path)}\0{status.st_size}\0{status.st_mtime_ns}".encode())
    digest.update(f"{plan.dim}:{plan.rows}:{plan.size}".encode())
    return digest.hexdigest()


class Progress:
    """Blocks done of blocks, cell-years a second and the time left: redrawn on a terminal,
    one line a minute otherwise (a batch job's log)."""

    def __init__(self, plan, cell_years, done=0, stream=sys.stderr):
        self.plan, self.cell_years, self.done, self.stream = plan, cell_years, done, stream
        self.start, self.first, self.last_line = time.monotonic(), done, time.monotonic()
        self.terminal = stream.isatty()

    def block_done(self):
        self.done += 1
        now = time.monotonic()
        if self.terminal or now - self.last_line >= 60.0:
            self.last_line = now
            fresh = self.done - self.first
            rate = fresh * self.cell_years / self.plan.count / max(now - self.start, 1e-9)
            left = (self.plan.count - self.done) * (now - self.start) / max(fresh, 1)
            line = (f"soil_grid: {self.done} of {self.plan.count} blocks, {rate:,.0f} cell-years a second, "
                    f"about {left / 60.0:.0f} min left")
            print(("\r" + line) if self.terminal else line, end="" if self.terminal else "\n", file=self.stream,
                  flush=True)
            if self.terminal and self.done == self.plan.count:
                print(file=self.stream)


def _zarr_block(arguments, plan, index, store):
    """Runs on a worker: one block read, simulated, written in place, then marked done."""
    block, with_data = grid_climate.simulate_region(arguments, plan.region(index), threads=1)
    along_plan(block, plan).drop_vars([name for name in block.coords], errors="ignore").to_zarr(
        store, region=plan.region(index), consolidated=False)
    marker = os.path.join(store, DONE, str(index))
    with open(marker + ".tmp", "w") as file:
        file.write(f"{with_data}\n")
    os.replace(marker + ".tmp", marker)
    return with_data


def pending(executor, function, indices, in_flight):
    """Runs `function(index)` for each index, at most `in_flight` at once, yielding
    (index, result) as they end."""
    indices = iter(indices)
    running = {}

    def submit_next():
        index = next(indices, None)
        if index is not None:
            running[executor.submit(function, index)] = index

    for _ in range(in_flight):
        submit_next()
    while running:
        finished = executor.wait_one(running)
        index = running.pop(finished)
        submit_next()
        yield index, finished.result()


class LocalExecutor:
    """Threads of this process (the model releases Python's lock while it runs)."""

    def __init__(self, threads):
        self.pool = concurrent.futures.ThreadPoolExecutor(max_workers=threads)
        self.workers = threads

    def submit(self, function, index):
        return self.pool.submit(function, index)

    @staticmethod
    def wait_one(running):
        done, _ = concurrent.futures.wait(list(running), return_when=concurrent.futures.FIRST_COMPLETED)
        return next(iter(done))

    def close(self):
        self.pool.shutdown(wait=True, cancel_futures=True)


class ClusterExecutor:
    """The workers of a Dask cluster; a block whose worker is lost is run again."""

    def __init__(self, client):
        self.client = client
        self.workers = max(1, len(client.scheduler_info().get("workers", {})))

    def submit(self, function, index):
        return self.client.submit(function, index, retries=3, pure=False)

    @staticmethod
    def wait_one(running):
        from dask.distributed import wait
        done = wait(list(running), return_when="FIRST_COMPLETED").done
        return next(iter(done))

    def close(self):
        pass


def open_store_state(path):
    """(fingerprint, blocks done) of the Zarr store at `path`, or None where there is none."""
    if not os.path.exists(path):
        return None
    attributes = os.path.join(path, ".zattrs")
    try:
        with open(attributes) as file:
            stored = json.load(file).get(FINGERPRINT)
    except (OSError, ValueError):
        stored = None
    if stored is None:
        raise BlockFault(f"{path}: is not a store that soil_grid wrote; name another output")
    done_folder = os.path.join(path, DONE)
    done = {int(name) for name in os.listdir(done_folder) if name.isdigit()} if os.path.isdir(done_folder) else set()
    return stored, done


def write_zarr(arguments, plan, executor, layout, path, files, resume, progress_of, print_line):
    """The grid into the Zarr store at `path`, resumed from its blocks done where `resume`
    and the store's fingerprint is this run's; the store is complete (consolidated, its
    blocks' marks gone) only when every block is written."""
    import zarr
    key = fingerprint(arguments, files, plan)
    state = open_store_state(path)
    done = set()
    if state is not None:
        stored, done = state
        complete = os.path.exists(os.path.join(path, ".zmetadata"))
        if resume and stored == key and complete:
            print_line(f"{path}: already complete")
            return None
        if resume and stored == key:
            print_line(f"{path}: resuming, {len(done)} of {plan.count} blocks done")
            _remove_partial_chunks(path)
        else:
            if resume:
                print_line(f"{path}: the inputs, the program or the options changed; starting afresh")
            shutil.rmtree(path)
            done = set()
    if not done:
        layout = grid_netcdf.cf_complete(layout)
        layout.attrs.setdefault("Conventions", "CF-1.8")
        layout.attrs[FINGERPRINT] = key
        encoding = {}
        for name, settings in grid_netcdf.encoding_of(layout).items():
            kept = {k: v for k, v in settings.items() if k in ("_FillValue", "dtype")}
            encoding[name] = kept
        for name, chunks in chunk_sizes(layout, plan).items():
            encoding[name]["chunks"] = chunks
        layout.to_zarr(path, mode="w", encoding=encoding, compute=False, consolidated=False)
        os.makedirs(os.path.join(path, DONE), exist_ok=True)
    progress = progress_of(len(done))
    with_data = sum(_marked_cells(path, index) for index in done)
    for _, cells in pending(executor, lambda i: _zarr_block(arguments, plan, i, path),
                             [i for i in range(plan.count) if i not in done], 2 * executor.workers):
        with_data += cells
        progress.block_done()
    # The marks go first: a run stopped between the two steps leaves a store that a resume
    # writes again, never one that looks complete without its consolidated metadata.
    shutil.rmtree(os.path.join(path, DONE))
    zarr.consolidate_metadata(path)
    return with_data


def _remove_partial_chunks(store):
    """Removes the chunks a stopped run left half-written: Zarr writes each chunk under a
    temporary name ending in .partial and renames it when whole."""
    for folder, _, names in os.walk(store):
        for name in names:
            if name.endswith(".partial"):
                os.unlink(os.path.join(folder, name))


def _marked_cells(store, index):
    """The cells with data of a block done, as its mark holds them."""
    with open(os.path.join(store, DONE, str(index))) as file:
        return int(file.read().strip() or 0)
